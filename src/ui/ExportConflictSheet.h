#pragma once

#include <QMessageBox>

#include "jobs/ExportPlan.h"

namespace pellora {

// Asked once before an export whose list has images that share an output
// name, or (overwriting off) outputs that exist already: Export Anyway starts
// it, Cancel starts nothing. Window-modal on the main window.
class ExportConflictSheet : public QMessageBox {
    Q_OBJECT

public:
    ExportConflictSheet(const ExportPlan& plan, QWidget* parent);

    // "3 images share a name with another image in the list; 12 outputs
    // already exist and will be skipped", with only the parts that apply.
    static QString messageForPlan(const ExportPlan& plan);

    QPushButton* exportAnywayButton() const { return _exportAnyway; }
    QPushButton* cancelButton() const { return _cancel; }
    // Whether the sheet was closed with Export Anyway.
    bool exportAnywayChosen() const;

private:
    QPushButton* _exportAnyway;
    QPushButton* _cancel;
};

} // namespace pellora
