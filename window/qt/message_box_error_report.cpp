#include "window/qt/message_box_error_report.h"

#include <QMessageBox>

namespace tonvela {

QString errorReportText(const RuntimeError& error) {
  const std::string heading = errorHeading(error.number());
  const std::string_view description = errorDescription(error.number());
  return QString::fromStdString(heading) + QStringLiteral("\n\n") +
         QString::fromUtf8(description.data(), static_cast<qsizetype>(description.size()));
}

void MessageBoxErrorReport::report(const RuntimeError& error) {
  stderrReport_.report(error);
  QMessageBox box(QMessageBox::Critical, QString::fromUtf8(kProgramName), errorReportText(error),
                  QMessageBox::Ok);
  box.exec();
}

}  // namespace tonvela
