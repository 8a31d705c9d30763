#pragma once

#include <windows.h>

#include "platform/error_report.h"

namespace tonvela::win32 {

// The report of an error that ends the program: a message box titled with the program's name,
// with the heading and the description in simplified Chinese, e.g. "运行时错误 '6':" and "溢出".
class MessageBoxErrorReport final : public ErrorReport {
 public:
  void setOwner(HWND owner) { owner_ = owner; }
  void report(const RuntimeError& error) override;

 private:
  HWND owner_ = nullptr;
};

}  // namespace tonvela::win32
