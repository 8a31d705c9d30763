#include "platform/runtime_error.h"

namespace tonvela {

RuntimeError::RuntimeError(ErrorNumber number)
    : std::runtime_error(errorHeading(number) + " " + std::string(errorDescription(number))),
      number_(number) {}

void raiseOverflow() { throw RuntimeError(ErrorNumber::Overflow); }

std::string_view errorDescription(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::Overflow:
      return "溢出";
    case ErrorNumber::FileNotFound:
      return "文件未找到";
    case ErrorNumber::DllEntryNotFound:
      return "找不到 DLL 入口点";
  }
  return "应用程序定义的错误或对象定义的错误";
}

std::string errorHeading(ErrorNumber number) {
  return "运行时错误 '" + std::to_string(static_cast<int>(number)) + "':";
}

}  // namespace tonvela
