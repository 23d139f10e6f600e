#pragma once
// A table model over a CsvTable for Qt's views: one row per table row in display
// order (a row being inserted included), one column per GridColumn. Boolean fields
// show as check marks (none for a null value) and never as text. The model does no
// I/O; setting a value puts the row into edit state first.
#include <QAbstractTableModel>
#include <QVector>

#include "catalogue/CsvTable.h"
#include "catalogue/GridColumn.h"

namespace vb::gui {

class CsvTableModel : public QAbstractTableModel, private CsvTableObserver {
    Q_OBJECT
public:
    // The model watches the table and empties itself when the table goes. With `cellHints` the column hint is also
    // the tooltip of every cell.
    CsvTableModel(CsvTable& table, QVector<GridColumn> columns, bool cellHints, QObject* parent = nullptr);
    ~CsvTableModel() override;

    // False once the table is gone (a window destroys its tables before the
    // widgets that show them); the model is empty then.
    bool HasTable() const { return FTable != nullptr; }
    CsvTable& Table() const { return *FTable; }
    const GridColumn& Column(int column) const { return FColumns.at(column); }
    int FieldOf(int column) const { return FFields.at(column); }
    bool IsBoolean(int column) const;

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    // The row indicator's marks: current row, row in edit state, row in insert state.
    static QStringList RowMarks();
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Text of a string field; throws vb::Error as the table does.
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;

signals:
    // The table's current row moved (or the rows were reset).
    void CurrentRowChanged(int row);
    // The table changed between browse, edit and insert state.
    void StateChanged();

private:
    void TableChanged(CsvTableChange change, int row) override;
    void TableDestroyed() override;

    CsvTable* FTable;
    QVector<GridColumn> FColumns;
    QVector<int> FFields;
    bool FCellHints;
};

}  // namespace vb::gui
