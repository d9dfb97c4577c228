#pragma once
// Presents one of the wizard's two lists to a table view. The rows are counted when the list
// is reloaded, as the data source's owner decides, not whenever the view happens to ask;
// every cell asks the data source.

#include <QAbstractTableModel>
#include <QString>
#include <QVariant>

#include <cstdint>

class QTableView;

namespace wizard {

// What a table of the wizard shows: its number of rows, and each cell by its column's
// identifier and its row.
class TableDataSource {
public:
    virtual ~TableDataSource() = default;
    virtual std::int32_t numberOfRowsInTableView(const QTableView* table) const = 0;
    virtual QVariant tableView(const QTableView* table, const QString& columnIdentifier, std::int32_t row) const = 0;
    // A row that needs the user's attention: why, shown beside it with a mark; empty for none.
    virtual QString rowNote(const QTableView* /*table*/, std::int32_t /*row*/) const { return {}; }
};

class WizardTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    WizardTableModel(const TableDataSource& source, const QTableView& table, QString columnIdentifier);

    // Asks the data source for the row count again and redraws every row.
    void reloadData();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const TableDataSource& m_source;
    const QTableView& m_table;
    QString m_columnIdentifier;
    int m_rows = 0;
};

}  // namespace wizard
