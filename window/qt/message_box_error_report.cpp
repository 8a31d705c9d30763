#include "window/qt/message_box_error_report.h"

#include <QMessageBox>

#include "platform/program_identity.h"

namespace tonvela::qt {
namespace {

QString fromUtf8(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void MessageBoxErrorReport::report(const RuntimeError& error) {
  stderrReport_.report(error);
  QMessageBox box(QMessageBox::Critical, fromUtf8(kProgramName), fromUtf8(errorReportText(error)),
                  QMessageBox::Ok);
  box.exec();
}

}  // namespace tonvela::qt
