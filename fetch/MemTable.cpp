#include "fetch/MemTable.h"

#include "upload/ImportLine.h"

#include <algorithm>

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool SameName(const std::string &a, const std::string &b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [](char x, char y) { return Lower(x) == Lower(y); });
}

} // namespace

const std::string &TField::FieldName() const {
    return FTable->FDefs[size_t(FIndex)].Name;
}

TFieldType TField::DataType() const {
    return FTable->FDefs[size_t(FIndex)].Type;
}

int TField::Size() const {
    return FTable->FDefs[size_t(FIndex)].Size;
}

void TField::SetAsInteger(int32_t value) {
    FTable->SetPending(FIndex, value);
}

void TField::SetAsString(const std::string &value) {
    FTable->SetPending(FIndex, value);
}

const TFieldValue &TField::Value() const {
    return FTable->CurrentValue(FIndex);
}

TMemTable::TMemTable(std::string name, std::vector<TFieldDef> fields, std::string keyField)
    : FName(std::move(name)), FDefs(std::move(fields)) {
    FFields.reserve(FDefs.size());
    for (size_t i = 0; i < FDefs.size(); ++i) {
        FFields.push_back(TField(*this, int(i)));
        if (FDefs[i].Type == ftAutoInc && FIdField < 0)
            FIdField = int(i);
        if (!keyField.empty() && SameName(FDefs[i].Name, keyField))
            FKeyField = int(i);
    }
}

void TMemTable::Fail(const std::string &text) const {
    throw EDatabaseError(FName + ": " + text);
}

void TMemTable::CheckActive() const {
    if (FState == dsInactive)
        Fail("Cannot perform this operation on a closed dataset");
}

void TMemTable::Notify(TTableEvent event, int row) const {
    if (OnChange)
        OnChange(event, row);
}

void TMemTable::Open() {
    if (FState != dsInactive)
        return;
    Notify(TTableEvent::Resetting, -1);
    FState = dsBrowse;
    FHighestId = -1;
    FRecNo = FRows.empty() ? -1 : 0;
    Notify(TTableEvent::Reset, -1);
}

void TMemTable::Edit() {
    CheckActive();
    if (FState == dsEdit || FState == dsInsert)
        return;
    FModified = false;
    if (FRows.empty()) {
        const int row = int(FRows.size());
        Notify(TTableEvent::RowAdding, row);
        FPending.assign(FDefs.size(), Null);
        // The blank row shows its id at once; it is used up only if the row is stored.
        if (FIdField >= 0)
            FPending[size_t(FIdField)] = FHighestId + 1;
        FRecNo = row;
        FState = dsInsert;
        Notify(TTableEvent::RowAdded, row);
        return;
    }
    FPending = FRows[size_t(FRecNo)];
    FState = dsEdit;
}

void TMemTable::Post() {
    CheckActive();
    if (FState == dsInsert) {
        // A blank row that no value was given is never stored.
        if (!FModified) {
            Cancel();
            return;
        }
        Store(std::move(FPending));
        FState = dsBrowse;
        Notify(TTableEvent::RowChanged, FRecNo);
    } else if (FState == dsEdit) {
        const int row = FRecNo;
        UnindexRow(row);
        FRows[size_t(row)] = std::move(FPending);
        IndexRow(row);
        CountId(FRows[size_t(row)]);
        FState = dsBrowse;
        Notify(TTableEvent::RowChanged, row);
    }
    FPending.clear();
    FModified = false;
}

void TMemTable::Cancel() {
    if (FState == dsInsert) {
        const int row = FRecNo;
        Notify(TTableEvent::RowRemoving, row);
        FState = dsBrowse;
        FPending.clear();
        FModified = false;
        FRecNo = FRows.empty() ? -1 : int(FRows.size()) - 1;
        Notify(TTableEvent::RowRemoved, row);
    } else if (FState == dsEdit) {
        const bool shown = FModified;
        FState = dsBrowse;
        FPending.clear();
        FModified = false;
        if (shown)
            Notify(TTableEvent::RowChanged, FRecNo);
    }
}

void TMemTable::LeaveEditState() {
    if (FState != dsEdit && FState != dsInsert)
        return;
    if (FModified)
        Post();
    else
        Cancel();
}

TField &TMemTable::FieldByName(const std::string &name) {
    for (size_t i = 0; i < FDefs.size(); ++i)
        if (SameName(FDefs[i].Name, name))
            return FFields[i];
    Fail("Field '" + name + "' not found");
}

bool TMemTable::Locate(const std::string &keyField, int32_t value) {
    CheckActive();
    const int field = FieldByName(keyField).FIndex;
    LeaveEditState();
    int found = -1;
    if (field == FKeyField) {
        const auto rows = FKeyRows.find(value);
        if (rows != FKeyRows.end() && !rows->second.empty())
            found = rows->second.front();
    } else {
        // Only the key field is indexed; other fields are searched in table order.
        for (size_t r = 0; r < FRows.size() && found < 0; ++r) {
            const auto *v = std::get_if<int32_t>(&FRows[r][size_t(field)]);
            if (v && *v == value)
                found = int(r);
        }
    }
    if (found < 0)
        return false;
    FRecNo = found;
    return true;
}

void TMemTable::AppendRecord(const std::vector<TFieldValue> &values) {
    CheckActive();
    if (values.size() > FDefs.size())
        Fail("Too many values for the table's fields");
    LeaveEditState();
    TRow row(FDefs.size(), Null);
    if (FIdField >= 0)
        row[size_t(FIdField)] = FHighestId + 1;
    // Converted in full before anything is stored, so a bad value leaves the table as it was.
    for (size_t i = 0; i < values.size(); ++i)
        Assign(row, int(i), values[i]);
    const int at = int(FRows.size());
    Notify(TTableEvent::RowAdding, at);
    Store(std::move(row));
    Notify(TTableEvent::RowAdded, at);
}

void TMemTable::Store(TRow &&row) {
    FRows.push_back(std::move(row));
    FRecNo = int(FRows.size()) - 1;
    CountId(FRows.back());
    IndexRow(FRecNo);
}

void TMemTable::CountId(const TRow &row) {
    if (FIdField < 0)
        return;
    const auto *id = std::get_if<int32_t>(&row[size_t(FIdField)]);
    if (id && *id > FHighestId)
        FHighestId = *id;
}

void TMemTable::IndexRow(int row) {
    if (FKeyField < 0)
        return;
    const auto *key = std::get_if<int32_t>(&FRows[size_t(row)][size_t(FKeyField)]);
    if (!key)
        return;
    std::vector<int> &rows = FKeyRows[*key];
    if (rows.empty() || rows.back() < row)
        rows.push_back(row);
    else
        rows.insert(std::lower_bound(rows.begin(), rows.end(), row), row);
}

void TMemTable::UnindexRow(int row) {
    if (FKeyField < 0)
        return;
    const auto *key = std::get_if<int32_t>(&FRows[size_t(row)][size_t(FKeyField)]);
    if (!key)
        return;
    const auto found = FKeyRows.find(*key);
    if (found == FKeyRows.end())
        return;
    std::vector<int> &rows = found->second;
    const auto at = std::lower_bound(rows.begin(), rows.end(), row);
    if (at != rows.end() && *at == row)
        rows.erase(at);
    if (rows.empty())
        FKeyRows.erase(found);
}

void TMemTable::Assign(TRow &row, int field, const TFieldValue &value) const {
    if (std::holds_alternative<std::monostate>(value))
        return;
    const TFieldDef &def = FDefs[size_t(field)];
    TFieldValue &cell = row[size_t(field)];
    if (def.Type == ftString) {
        std::string text = std::holds_alternative<int32_t>(value)
                               ? std::to_string(std::get<int32_t>(value))
                               : std::get<std::string>(value);
        // Code 0 ends a text, and a text longer than its field is cut without a word.
        const auto nul = text.find('\0');
        if (nul != std::string::npos)
            text.resize(nul);
        if (text.size() > size_t(def.Size))
            text.resize(size_t(def.Size));
        cell = std::move(text);
    } else if (const auto *number = std::get_if<int32_t>(&value)) {
        cell = *number;
    } else {
        cell = int32_t(StrToInt(std::get<std::string>(value)));
    }
}

void TMemTable::SetPending(int field, const TFieldValue &value) {
    if (FState != dsEdit && FState != dsInsert)
        Fail("Dataset not in edit or insert mode");
    Assign(FPending, field, value);
    FModified = true;
    Notify(TTableEvent::RowChanged, FRecNo);
}

const TFieldValue &TMemTable::CurrentValue(int field) const {
    if (FState == dsEdit || FState == dsInsert)
        return FPending[size_t(field)];
    if (FState == dsInactive || FRecNo < 0)
        return Null;
    return FRows[size_t(FRecNo)][size_t(field)];
}

int TMemTable::RowCount() const {
    if (FState == dsInactive)
        return 0;
    return int(FRows.size()) + (FState == dsInsert ? 1 : 0);
}

const TFieldValue &TMemTable::Cell(int row, int field) const {
    if ((FState == dsEdit || FState == dsInsert) && row == FRecNo)
        return FPending[size_t(field)];
    return FRows[size_t(row)][size_t(field)];
}
