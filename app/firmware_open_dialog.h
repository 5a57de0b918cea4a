#pragma once

class QFileDialog;
class QWidget;

namespace lir2 {

// The open dialog of FileOpen1: firmware files or all files, existing files only, "lir2"
// added to a name typed without an extension. Qt's own dialog, the same on every platform.
QFileDialog* makeFirmwareOpenDialog(QWidget* parent);

}  // namespace lir2
