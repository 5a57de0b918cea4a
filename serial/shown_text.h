#pragma once

#include <QString>
#include <QStringView>

namespace lir2 {

// Text that came from outside the program (a file's name or bytes, a device's answer, a
// process name, a path typed or globbed) made safe to print on a terminal or put in a label:
// every control character (C0, DEL, C1) and the line and paragraph separators become "\xNN"
// (or "\u2028"), so nothing in it can move the cursor, clear the screen, set a terminal's
// title or break a message into lines of its own. Everything else is kept as it is.
QString shownText(QStringView text);
// A path in the system's separators, shown safely.
QString shownPath(const QString& path);

}  // namespace lir2
