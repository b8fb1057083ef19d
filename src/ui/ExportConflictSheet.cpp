#include "ui/ExportConflictSheet.h"

#include <QPushButton>
#include <QStringList>

namespace pellora {

namespace {

QString clashText(std::size_t count) {
    return count == 1 ? QStringLiteral("1 image shares a name with another image in the list")
                      : QStringLiteral("%1 images share a name with another image in the list").arg(count);
}

QString existingText(std::size_t count) {
    return count == 1 ? QStringLiteral("1 output already exists and will be skipped")
                      : QStringLiteral("%1 outputs already exist and will be skipped").arg(count);
}

} // namespace

ExportConflictSheet::ExportConflictSheet(const ExportPlan& plan, QWidget* parent) : QMessageBox(parent) {
    setObjectName(QStringLiteral("exportConflictSheet"));
    setWindowTitle(QStringLiteral("Export"));
    setWindowModality(Qt::WindowModal);
    setIcon(QMessageBox::Warning);
    setText(messageForPlan(plan));
    QStringList consequences;
    if (plan.clashCount > 0) {
        consequences << QStringLiteral("Only the first image of each name is written; the others fail and stay "
                                       "in the list.");
    }
    if (plan.existingCount > 0) {
        consequences << QStringLiteral("Existing files are kept; turn on overwriting in the preferences to "
                                       "replace them.");
    }
    setInformativeText(consequences.join(QLatin1Char(' ')));
    _exportAnyway = addButton(QStringLiteral("Export Anyway"), QMessageBox::AcceptRole);
    _cancel = addButton(QMessageBox::Cancel);
    setDefaultButton(_exportAnyway);
    setEscapeButton(_cancel);
}

QString ExportConflictSheet::messageForPlan(const ExportPlan& plan) {
    QStringList parts;
    if (plan.clashCount > 0) parts << clashText(plan.clashCount);
    if (plan.existingCount > 0) parts << existingText(plan.existingCount);
    return parts.join(QStringLiteral("; "));
}

bool ExportConflictSheet::exportAnywayChosen() const {
    return clickedButton() == _exportAnyway;
}

} // namespace pellora
