#include "fetch/MemTableModel.h"

namespace {

// Codes 0x80 to 0x9F in Windows-1252; the five it leaves unassigned read as Latin-1.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

} // namespace

QString FromWindows1252(const std::string &bytes) {
    QString text = QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
    for (QChar &c : text)
        if (c.unicode() >= 0x80 && c.unicode() <= 0x9F)
            c = QChar(Cp1252High[c.unicode() - 0x80]);
    return text;
}

TMemTableModel::TMemTableModel(TMemTable &table, QObject *parent)
    : QAbstractTableModel(parent), FTable(table) {
    FTable.OnChange = [this](TTableEvent event, int row) { TableChanged(event, row); };
}

TMemTableModel::~TMemTableModel() {
    FTable.OnChange = nullptr;
}

void TMemTableModel::TableChanged(TTableEvent event, int row) {
    switch (event) {
    case TTableEvent::RowAdding:
        beginInsertRows({}, row, row);
        break;
    case TTableEvent::RowAdded:
        endInsertRows();
        break;
    case TTableEvent::RowRemoving:
        beginRemoveRows({}, row, row);
        break;
    case TTableEvent::RowRemoved:
        endRemoveRows();
        break;
    case TTableEvent::RowChanged:
        emit dataChanged(index(row, 0), index(row, columnCount() - 1), {Qt::DisplayRole});
        emit headerDataChanged(Qt::Vertical, row, row);
        break;
    case TTableEvent::Resetting:
        beginResetModel();
        break;
    case TTableEvent::Reset:
        endResetModel();
        break;
    }
}

int TMemTableModel::rowCount(const QModelIndex &parent) const {
    return parent.isValid() ? 0 : FTable.RowCount();
}

int TMemTableModel::columnCount(const QModelIndex &parent) const {
    if (parent.isValid() || FTable.State() == dsInactive)
        return 0;
    return int(FTable.Fields().size());
}

QVariant TMemTableModel::data(const QModelIndex &index, int role) const {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount() ||
        index.column() >= columnCount())
        return {};
    const TFieldValue &value = FTable.Cell(index.row(), index.column());
    if (const auto *number = std::get_if<int32_t>(&value))
        return *number;
    if (const auto *text = std::get_if<std::string>(&value))
        return FromWindows1252(*text);
    return {};
}

QVariant TMemTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal) {
        if (section < 0 || section >= columnCount())
            return {};
        return QString::fromLatin1(FTable.Fields()[size_t(section)].Name);
    }
    // The row marker: "*" on the new row that is not stored yet.
    const bool pending = FTable.State() == dsInsert && section == FTable.RecNo();
    return pending ? QStringLiteral("*") : QString();
}
