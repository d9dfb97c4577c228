#include "app/WizardTableModel.h"

#include <QApplication>
#include <QIcon>
#include <QStyle>

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
    if (role == Qt::DisplayRole) return m_source.tableView(&m_table, m_columnIdentifier, index.row());
    if (role != Qt::ToolTipRole && role != Qt::DecorationRole) return {};
    const QString note = m_source.rowNote(&m_table, index.row());
    if (role == Qt::ToolTipRole)
        return note.isEmpty() ? m_source.tableView(&m_table, m_columnIdentifier, index.row()) : QVariant(note);
    if (note.isEmpty()) return {};
    // A padlock where the theme has one.
    return QIcon::fromTheme(QStringLiteral("changes-prevent"),
                            QApplication::style()->standardIcon(QStyle::SP_MessageBoxWarning));
}

}  // namespace wizard
