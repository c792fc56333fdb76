#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

// A field's value in a row: null (never given a value), an integer, or single-byte text.
using TFieldValue = std::variant<std::monostate, int32_t, std::string>;
// The null marker of AppendRecord: leaves its field as it is.
inline const TFieldValue Null{};

enum TFieldType { ftAutoInc, ftInteger, ftString };

struct TFieldDef {
    std::string Name;
    TFieldType Type = ftInteger;
    int Size = 0; // characters, for ftString
};

enum TDataSetState { dsInactive, dsBrowse, dsEdit, dsInsert };

// The data-access error, e.g. "ttider: Field 'tidsek4' not found".
class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const std::string &message) : std::runtime_error(message) {}
};

// What a grid has to follow. The ...ing events come before the change, the others after,
// so a Qt model can keep its begin/end contract.
enum class TTableEvent {
    RowAdding,
    RowAdded,
    RowRemoving,
    RowRemoved,
    RowChanged,
    Resetting,
    Reset
};

class TMemTable;

// One field of a table, giving access to its value in the current row.
class TField {
public:
    const std::string &FieldName() const;
    TFieldType DataType() const;
    int Size() const;
    // Integer fields store the value as is; a text field gets its decimal text.
    void SetAsInteger(int32_t value);
    // Text fields store the text up to its first code 0, cut to the field's size; an
    // integer field reads the text as an integer.
    void SetAsString(const std::string &value);
    // The value in the current row, the pending one while editing; null on a closed or
    // empty table.
    const TFieldValue &Value() const;

private:
    friend class TMemTable;
    TField(TMemTable &table, int index) : FTable(&table), FIndex(index) {}
    TMemTable *FTable;
    int FIndex;
};

// An in-memory dataset with fixed fields, rows in the order appended, a current row and a
// state. Locate on the key field named at construction uses an index instead of a scan.
class TMemTable {
public:
    TMemTable(std::string name, std::vector<TFieldDef> fields, std::string keyField = {});
    TMemTable(const TMemTable &) = delete;
    TMemTable &operator=(const TMemTable &) = delete;

    // The component name, which leads the text of its errors.
    const std::string &Name() const { return FName; }
    const std::vector<TFieldDef> &Fields() const { return FDefs; }
    TDataSetState State() const { return FState; }
    // The current row, counted from 0; -1 when there is none.
    int RecNo() const { return FRecNo; }

    void Open();
    void Edit();
    void Post();
    // Case-free lookup; EDatabaseError "<Name>: Field '<name>' not found" when missing.
    TField &FieldByName(const std::string &name);
    bool Locate(const std::string &keyField, int32_t value);
    void AppendRecord(const std::vector<TFieldValue> &values);

    // What a grid shows: the stored rows, and a pending new row at the end while inserting.
    int RowCount() const;
    const TFieldValue &Cell(int row, int field) const;

    // Told of every change a grid would show (rows, values, state).
    std::function<void(TTableEvent, int row)> OnChange;

private:
    friend class TField;
    using TRow = std::vector<TFieldValue>;

    [[noreturn]] void Fail(const std::string &text) const;
    void CheckActive() const;
    void Notify(TTableEvent event, int row) const;
    // Stores `value` into `field` of `row` by the assignment rules.
    void Assign(TRow &row, int field, const TFieldValue &value) const;
    void SetPending(int field, const TFieldValue &value);
    const TFieldValue &CurrentValue(int field) const;
    // Posts a pending row that was given a value, drops any other.
    void LeaveEditState();
    void Cancel();
    void Store(TRow &&row);
    void CountId(const TRow &row);
    void IndexRow(int row);
    void UnindexRow(int row);

    std::string FName;
    std::vector<TFieldDef> FDefs;
    std::vector<TField> FFields;
    int FKeyField = -1;
    int FIdField = -1;

    TDataSetState FState = dsInactive;
    std::vector<TRow> FRows;
    int FRecNo = -1;
    int32_t FHighestId = -1;
    // The row being edited or inserted, and whether a field of it was assigned.
    TRow FPending;
    bool FModified = false;
    // Key value -> rows holding it, in table order; the front is what Locate finds.
    std::unordered_map<int32_t, std::vector<int>> FKeyRows;
};
