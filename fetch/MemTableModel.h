#pragma once

#include "fetch/MemTable.h"

#include <QAbstractTableModel>

// A grid's view of one table: a column per field titled with its name, the rows in table
// order and the pending new row while inserting. A closed table is an empty grid.
class TMemTableModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit TMemTableModel(TMemTable &table, QObject *parent = nullptr);
    ~TMemTableModel() override;

    TMemTable &Table() const { return FTable; }

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

private:
    void TableChanged(TTableEvent event, int row);

    TMemTable &FTable;
};

// Single-byte text as a Windows-1252 reader sees it.
QString FromWindows1252(const std::string &bytes);
