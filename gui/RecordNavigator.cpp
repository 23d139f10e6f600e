#include "gui/RecordNavigator.h"

#include <QHBoxLayout>
#include <QToolButton>

#include "gui/CsvGrid.h"

namespace vb::gui {

RecordNavigator::RecordNavigator(CsvGrid* grid, QWidget* parent) : QWidget(parent), FGrid(grid) {
    struct ButtonLook {
        const char* name;
        const char* glyph;
        const char* hint;
    };
    static const ButtonLook looks[] = {
        {"btnFirst", "|◀", "Erster Datensatz"},
        {"btnPrior", "◀", "Vorheriger Datensatz"},
        {"btnNext", "▶", "Nächster Datensatz"},
        {"btnLast", "▶|", "Letzter Datensatz"},
        {"btnInsert", "+", "Datensatz einfügen"},
        {"btnDelete", "−", "Datensatz löschen"},
        {"btnEdit", "▲", "Datensatz bearbeiten"},
        {"btnPost", "✔", "Daten speichern"},
        {"btnCancel", "✖", "Bearbeitung abbrechen"},
        {"btnRefresh", "↻", "Daten aktualisieren"},
    };
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (int i = 0; i <= nbRefresh; ++i) {
        auto* button = new QToolButton(this);
        button->setObjectName(looks[i].name);
        button->setText(QString::fromUtf8(looks[i].glyph));
        button->setToolTip(QString::fromUtf8(looks[i].hint));
        button->setFixedSize(24, 22);
        // The buttons are no Tab stops and a click leaves the focus in the grid, whose
        // keys do the same.
        button->setFocusPolicy(Qt::NoFocus);
        connect(button, &QToolButton::clicked, this, [this, i] { Click(static_cast<Button>(i)); });
        layout->addWidget(button);
        FButtons[i] = button;
    }
    connect(grid->Model(), &CsvTableModel::StateChanged, this, &RecordNavigator::UpdateButtons);
    connect(grid->Model(), &CsvTableModel::CurrentRowChanged, this, &RecordNavigator::UpdateButtons);
    UpdateButtons();
}

void RecordNavigator::Click(Button button) {
    if (!FGrid->Model()->HasTable()) return;
    CsvTable& table = FGrid->Table();
    if (!table.Active()) return;
    // What the user typed into a cell belongs to the row before any button acts.
    if (button == nbCancel) {
        FGrid->DiscardEditor();
    } else {
        FGrid->CommitEditor();
    }
    if (button == nbDelete) {
        if (table.IsEmpty()) return;
        const QString question = QString::fromUtf8("Datensatz löschen?");
        if (!(FConfirmDelete ? FConfirmDelete(question) : FGrid->ConfirmDelete())) return;
    }
    FGrid->Guarded([&] {
        switch (button) {
        case nbFirst: table.First(); break;
        case nbPrior: table.Prior(); break;
        case nbNext: table.Next(); break;
        case nbLast: table.Last(); break;
        case nbInsert: FGrid->NewRow(false); break;
        case nbDelete: table.Delete(); break;
        case nbEdit: table.Edit(); break;
        case nbPost: table.Post(); break;
        case nbCancel: table.Cancel(); break;
        case nbRefresh:
            // The rows live in memory until the table is closed; refreshing stores
            // a pending edit and shows them again.
            if (table.CheckBrowseMode()) {
                table.DisableControls();
                table.EnableControls();
            }
            break;
        }
    });
    UpdateButtons();
}

void RecordNavigator::UpdateButtons() {
    if (!FGrid->Model()->HasTable()) {
        for (QToolButton* button : FButtons) button->setEnabled(false);
        return;
    }
    const CsvTable& table = FGrid->Table();
    const bool active = table.Active();
    const bool editing = table.State() == CsvTableState::Edit || table.State() == CsvTableState::Insert;
    const int row = table.CurrentRow();
    const int last = table.RowCount() - 1;
    FButtons[nbFirst]->setEnabled(active && row > 0);
    FButtons[nbPrior]->setEnabled(active && row > 0);
    FButtons[nbNext]->setEnabled(active && row >= 0 && row < last);
    FButtons[nbLast]->setEnabled(active && row >= 0 && row < last);
    FButtons[nbInsert]->setEnabled(active);
    FButtons[nbDelete]->setEnabled(active && !table.IsEmpty());
    FButtons[nbEdit]->setEnabled(active && !editing);
    FButtons[nbPost]->setEnabled(active && editing);
    FButtons[nbCancel]->setEnabled(active && editing);
    FButtons[nbRefresh]->setEnabled(active);
}

}  // namespace vb::gui
