#include "app/WizardTableModel.h"

#include <algorithm>

namespace wizard {

WizardTableModel::WizardTableModel(const TableDataSource& source, const QTableView& table, QString columnIdentifier)
    : m_source(source), m_table(table), m_columnIdentifier(std::move(columnIdentifier)) {}

void WizardTableModel::reloadData() {
    beginResetModel();
    m_rows = std::max(0, static_cast<int>(m_source.numberOfRowsInTableView(&m_table)));
    endResetModel();
}

int WizardTableModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : m_rows; }

int WizardTableModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : 1; }

QVariant WizardTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.column() != 0) return {};
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    return m_source.tableView(&m_table, m_columnIdentifier, index.row());
}

}  // namespace wizard
