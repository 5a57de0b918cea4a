#pragma once

#include <QSerialPort>

#include <functional>
#include <utility>

namespace lir2 {

// An open port's handle as the system has it: a file descriptor, on Windows a HANDLE.
using SerialHandle = decltype(std::declval<QSerialPort&>().handle());

// The driver's ioctl, or a stand-in for a test: same arguments and result as ioctl(2).
using SerialIoctl = std::function<int(int fd, unsigned long request, void* arg)>;

// Asks the driver of the open serial line fd to hand over received bytes at once
// (ASYNC_LOW_LATENCY; a USB FTDI adapter turns it into a 1 ms latency timer instead of 16 ms).
// Every byte of the upload and the monitor waits for its echo, so a held-back byte costs its
// delay each time. Returns whether the line now runs with low latency; a refusal (a
// pseudo-terminal, a driver without the setting, no permission) changes nothing. Linux only:
// elsewhere it returns false without asking (on Windows the FTDI driver's latency timer is set in
// the Device Manager; see the README).
bool requestLowLatency(SerialHandle fd, const SerialIoctl& ioctl = {});

}  // namespace lir2
