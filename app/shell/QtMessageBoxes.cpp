#include "shell/QtMessageBoxes.h"

#include <QMessageBox>

namespace kelvane {

void QtMessageBoxes::Show(const std::string& text, MessageIcon icon, const std::string& title)
{
    QMessageBox box(icon == MessageIcon::Critical      ? QMessageBox::Critical
                    : icon == MessageIcon::Exclamation ? QMessageBox::Warning
                                                       : QMessageBox::NoIcon,
                    QString::fromStdString(title.empty() ? "Kelvane" : title),
                    QString::fromStdString(text), QMessageBox::Ok, Parent);
    box.exec();
}

}  // namespace kelvane
