#include "sim/gsm_modem.h"

#include <algorithm>

namespace lir2 {

namespace {

constexpr quint8 kCtrlZ = 0x1A;
constexpr quint8 kEscape = 0x1B;
constexpr int kLineLimit = 256;
constexpr int kMessageLimit = 1024;

const QByteArray kOk = "OK\r\n";
const QByteArray kError = "ERROR\r\n";

}  // namespace

GsmModem::GsmModem(const ModemConfig& cfg) : cfg_(cfg) {
  inbox_.append({"+79161234567", "24/05/01,12:00:00+12", "LIR: test message"});
}

void GsmModem::reset() {
  composing_ = false;
  overflow_ = false;
  line_.clear();
  message_.clear();
}

void GsmModem::receive(quint8 byte, qint64 now, OutputQueue& out) {
  if (cfg_.silent) return;
  if (echo_) out.push(now, byte);

  if (composing_) {
    if (byte == kCtrlZ) {
      composing_ = false;
      reference_ = reference_ % 255 + 1;
      sent_.append({number_, message_});
      message_.clear();
      // Sending over the air takes a moment.
      const qint64 at = now + std::max(cfg_.sendDelayMs, 0);
      out.push(at, "+CMGS: " + QByteArray::number(reference_) + "\r\n");
      out.push(at, kOk);
    } else if (byte == kEscape) {
      composing_ = false;
      message_.clear();
      out.push(now, kOk);
    } else if (message_.size() < kMessageLimit) {
      message_.append(static_cast<char>(byte));
    }
    return;
  }

  if (byte == '\n') {
    const QByteArray line = line_;
    const bool overflow = overflow_;
    line_.clear();
    overflow_ = false;
    if (!overflow) runCommand(line, now, out);
    return;
  }
  if (byte == '\r') return;
  if (line_.size() >= kLineLimit) {
    overflow_ = true;  // a runaway line is thrown away whole
    return;
  }
  line_.append(static_cast<char>(byte));
}

void GsmModem::runCommand(const QByteArray& raw, qint64 now, OutputQueue& out) {
  const QByteArray line = raw.trimmed();
  const QByteArray upper = line.toUpper();
  if (!upper.startsWith("AT")) return;  // not meant for the modem
  const QByteArray cmd = upper.mid(2);

  if (cmd.isEmpty()) {
    out.push(now, kOk);
  } else if (cmd == "Z") {
    echo_ = true;
    textMode_ = false;
    out.push(now, kOk);
  } else if (cmd == "E0" || cmd == "E1" || cmd == "E") {
    echo_ = cmd != "E0";
    out.push(now, kOk);
  } else if (cmd == "+CMGF=0" || cmd == "+CMGF=1") {
    textMode_ = cmd.endsWith('1');
    out.push(now, kOk);
  } else if (cmd == "+CMGF?") {
    out.push(now, QByteArray("+CMGF: ") + (textMode_ ? "1" : "0") + "\r\n");
    out.push(now, kOk);
  } else if (cmd.startsWith("+CMGS=")) {
    // The number as typed (case kept), without its quotes.
    const QByteArray arg = line.mid(8).trimmed();
    const bool quoted = arg.size() >= 3 && arg.startsWith('"') && arg.endsWith('"');
    if (!textMode_ || !quoted) {
      out.push(now, kError);
      return;
    }
    number_ = arg.mid(1, arg.size() - 2);
    message_.clear();
    composing_ = true;
    out.push(now, "> ");
  } else if (cmd.startsWith("+CNMI=")) {
    out.push(now, kOk);
  } else if (cmd.startsWith("+CMGR=")) {
    bool ok = false;
    const int index = cmd.mid(6).toInt(&ok);
    if (!ok || index < 1 || index > inbox_.size()) {
      out.push(now, "+CMS ERROR: 321\r\n");  // invalid memory index
      return;
    }
    Stored& m = inbox_[index - 1];
    out.push(now, "+CMGR: \"" + QByteArray(m.read ? "REC READ" : "REC UNREAD") + "\",\"" +
                      m.number + "\",,\"" + m.stamp + "\"\r\n");
    out.push(now, m.text + "\r\n");
    out.push(now, kOk);
    m.read = true;
  } else {
    out.push(now, kError);
  }
}

}  // namespace lir2
