#pragma once
// Presents one of the controller's two lists to a table view. The rows are counted when the
// list is reloaded, as the controller decides, not whenever the view happens to ask; every
// cell asks the controller's data source.

#include <QAbstractTableModel>
#include <QString>

class QTableView;

namespace wizard {

class MainCtrl;

class WizardTableModel : public QAbstractTableModel {
    Q_OBJECT

public:
    WizardTableModel(const MainCtrl& ctrl, const QTableView& table, QString columnIdentifier);

    // Asks the controller for the row count again and redraws every row.
    void reloadData();
    const QString& columnIdentifier() const { return m_columnIdentifier; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

private:
    const MainCtrl& m_ctrl;
    const QTableView& m_table;
    QString m_columnIdentifier;
    int m_rows = 0;
};

}  // namespace wizard
