#include "platform/runtime_error.h"

#include <new>
#include <utility>

namespace tonvela {

RuntimeError::RuntimeError(ErrorNumber number, std::string detail)
    : std::runtime_error(errorHeading(number) + " " + std::string(errorDescription(number))),
      number_(number),
      detail_(std::move(detail)) {}

void raiseOverflow() { throw RuntimeError(ErrorNumber::Overflow); }

RuntimeError asRuntimeError(const std::exception_ptr& error) {
  try {
    std::rethrow_exception(error);
  } catch (const RuntimeError& runtimeError) {
    return runtimeError;
  } catch (const std::bad_alloc&) {
    return RuntimeError(ErrorNumber::OutOfMemory);
  } catch (const std::exception& otherError) {
    return RuntimeError(ErrorNumber::InternalError, otherError.what());
  } catch (...) {
    return RuntimeError(ErrorNumber::InternalError);
  }
}

std::string_view errorDescription(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::Overflow:
      return "溢出";
    case ErrorNumber::OutOfMemory:
      return "内存溢出";
    case ErrorNumber::InternalError:
      return "内部错误";
    case ErrorNumber::DllEntryNotFound:
      return "找不到 DLL 入口点";
  }
  return "应用程序定义的错误或对象定义的错误";
}

std::string errorHeading(ErrorNumber number) {
  return "运行时错误 '" + std::to_string(static_cast<int>(number)) + "':";
}

}  // namespace tonvela
