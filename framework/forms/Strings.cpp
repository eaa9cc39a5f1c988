#include "framework/forms/Strings.h"

#include <algorithm>
#include <numeric>

#include "framework/forms/FileStore.h"

namespace forms {

void TStrings::CheckIndex(int index, int count) const {
    if (index < 0 || index >= count)
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
}

void TStrings::Put(int index, const String& s) {
    void* object = GetObject(index);
    Delete(index);
    Insert(index, s);
    PutObject(index, object);
}

int TStrings::Add(const String& s) {
    const int index = Count();
    Insert(index, s);
    return index;
}

int TStrings::AddObject(const String& s, void* object) {
    const int index = Add(s);
    PutObject(index, object);
    return index;
}

int TStrings::IndexOf(const String& s) const {
    for (int i = 0; i < Count(); ++i)
        if (SameText(Get(i), s)) return i;
    return -1;
}

int TStrings::IndexOfObject(void* object) const {
    for (int i = 0; i < Count(); ++i)
        if (GetObject(i) == object) return i;
    return -1;
}

void TStrings::Exchange(int a, int b) {
    const String sa = Get(a), sb = Get(b);
    void* oa = GetObject(a);
    void* ob = GetObject(b);
    Put(a, sb);
    PutObject(a, ob);
    Put(b, sa);
    PutObject(b, oa);
}

void TStrings::Move(int from, int to) {
    if (from == to) return;
    const String s = Get(from);
    void* o = GetObject(from);
    Delete(from);
    Insert(to, s);
    PutObject(to, o);
}

String TStrings::Text() const {
    String out;
    for (int i = 0; i < Count(); ++i) {
        out += Get(i);
        out += u"\r\n";
    }
    return out;
}

void TStrings::SetText(const String& text) {
    BeginUpdate();
    try {
        Clear();
        size_t start = 0;
        while (start < text.size()) {
            size_t end = start;
            while (end < text.size() && text[end] != u'\r' && text[end] != u'\n') ++end;
            Add(text.substr(start, end - start));
            if (end < text.size() && text[end] == u'\r') ++end;
            if (end < text.size() && text[end] == u'\n') ++end;
            start = end;
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

String TStrings::Names(int index) const {
    const String s = Get(index);
    const size_t eq = s.find(u'=');
    return eq == String::npos ? String() : s.substr(0, eq);
}

int TStrings::IndexOfName(const String& name) const {
    for (int i = 0; i < Count(); ++i) {
        const String s = Get(i);
        const size_t eq = s.find(u'=');
        if (eq != String::npos && SameText(std::u16string_view(s).substr(0, eq), name)) return i;
    }
    return -1;
}

String TStrings::Values(const String& name) const {
    const int i = IndexOfName(name);
    if (i < 0) return {};
    const String s = Get(i);
    return s.substr(s.find(u'=') + 1);
}

void TStrings::SetValue(const String& name, const String& value) {
    const int i = IndexOfName(name);
    if (value.empty()) {
        if (i >= 0) Delete(i);
    } else if (i >= 0) {
        Put(i, name + u"=" + value);
    } else {
        Add(name + u"=" + value);
    }
}

void TStrings::Assign(const TStrings& source) {
    if (&source == this) return;
    BeginUpdate();
    try {
        Clear();
        AddStrings(source);
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TStrings::AddStrings(const TStrings& source) {
    for (int i = 0; i < source.Count(); ++i) AddObject(source.Get(i), source.GetObject(i));
}

bool TStrings::Equals(const TStrings& other) const {
    if (Count() != other.Count()) return false;
    for (int i = 0; i < Count(); ++i)
        if (Get(i) != other.Get(i)) return false;
    return true;
}

void TStrings::BeginUpdate() {
    if (m_updateCount++ == 0) SetUpdateState(true);
}

void TStrings::EndUpdate() {
    if (m_updateCount > 0 && --m_updateCount == 0) SetUpdateState(false);
}

void TStrings::LoadFromStream(TStream& stream) {
    const int64_t size = stream.Size() - stream.Position();
    std::string bytes(static_cast<size_t>(std::max<int64_t>(0, size)), '\0');
    if (!bytes.empty()) stream.ReadBuffer(&bytes[0], static_cast<int64_t>(bytes.size()));
    if (bytes.compare(0, 3, "\xEF\xBB\xBF") == 0) bytes.erase(0, 3);
    SetText(Utf8ToText(bytes));
}

void TStrings::SaveToStream(TStream& stream) const {
    const std::string bytes = TextToUtf8(Text());
    stream.WriteBuffer(bytes.data(), static_cast<int64_t>(bytes.size()));
}

void TStrings::LoadFromFile(const String& path) {
    std::string bytes;
    const FileReadResult r = DefaultFileStore().Read(path, bytes, size_t(1) << 30);
    if (r != FileReadResult::Ok) throw EFOpenError("Cannot open file \"" + TextToUtf8(path) + "\"");
    TMemoryStream stream(std::vector<uint8_t>(bytes.begin(), bytes.end()));
    LoadFromStream(stream);
}

void TStrings::SaveToFile(const String& path) const {
    TMemoryStream stream;
    SaveToStream(stream);
    const auto& b = stream.Bytes();
    if (!DefaultFileStore().Write(path, std::string(b.begin(), b.end())))
        throw EFCreateError("Cannot create file \"" + TextToUtf8(path) + "\"");
}

// ---- TStringList ---------------------------------------------------------------

int TStringList::Compare(const String& a, const String& b) const {
    if (m_caseSensitive) return a < b ? -1 : (a == b ? 0 : 1);
    return CompareText(a, b);
}

void TStringList::Changing() {
    if (!m_updating && OnChanging) OnChanging(this);
}

void TStringList::Changed() {
    if (!m_updating && OnChange) OnChange(this);
}

void TStringList::SetUpdateState(bool updating) {
    m_updating = updating;
    if (updating) {
        if (OnChanging) OnChanging(this);
    } else if (OnChange) {
        OnChange(this);
    }
}

String TStringList::Get(int index) const {
    CheckIndex(index, Count());
    return m_items[static_cast<size_t>(index)].text;
}

void TStringList::Put(int index, const String& s) {
    if (m_sorted) throw EListError("Operation not allowed on sorted list");
    CheckIndex(index, Count());
    Changing();
    m_items[static_cast<size_t>(index)].text = s;
    Changed();
}

void* TStringList::GetObject(int index) const {
    CheckIndex(index, Count());
    return m_items[static_cast<size_t>(index)].object;
}

void TStringList::PutObject(int index, void* object) {
    CheckIndex(index, Count());
    Changing();
    m_items[static_cast<size_t>(index)].object = object;
    Changed();
}

void TStringList::InsertItem(int index, const String& s, void* object) {
    Changing();
    m_items.insert(m_items.begin() + index, Item{s, object});
    Changed();
}

void TStringList::Insert(int index, const String& s) {
    if (m_sorted) throw EListError("Operation not allowed on sorted list");
    if (index < 0 || index > Count())
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    InsertItem(index, s, nullptr);
}

int TStringList::Add(const String& s) {
    if (!m_sorted) {
        InsertItem(Count(), s, nullptr);
        return Count() - 1;
    }
    int index;
    if (Find(s, index)) {
        if (m_duplicates == TDuplicates::dupIgnore) return index;
        if (m_duplicates == TDuplicates::dupError) throw EListError("String list does not allow duplicates");
    }
    InsertItem(index, s, nullptr);
    return index;
}

void TStringList::Delete(int index) {
    CheckIndex(index, Count());
    Changing();
    m_items.erase(m_items.begin() + index);
    Changed();
}

void TStringList::Clear() {
    if (m_items.empty()) return;
    Changing();
    m_items.clear();
    Changed();
}

int TStringList::IndexOf(const String& s) const {
    if (!m_sorted) {
        for (int i = 0; i < Count(); ++i)
            if (Compare(m_items[static_cast<size_t>(i)].text, s) == 0) return i;
        return -1;
    }
    int index;
    return Find(s, index) ? index : -1;
}

bool TStringList::Find(const String& s, int& index) const {
    int lo = 0, hi = Count() - 1;
    bool found = false;
    while (lo <= hi) {
        const int mid = (lo + hi) / 2;
        const int c = Compare(m_items[static_cast<size_t>(mid)].text, s);
        if (c < 0) {
            lo = mid + 1;
        } else {
            hi = mid - 1;
            if (c == 0) {
                found = true;
                if (m_duplicates != TDuplicates::dupAccept) lo = mid;
            }
        }
    }
    index = lo;
    return found;
}

void TStringList::SetSorted(bool sorted) {
    if (sorted == m_sorted) return;
    if (sorted) Sort();
    m_sorted = sorted;
}

void TStringList::SetCaseSensitive(bool on) {
    if (on == m_caseSensitive) return;
    m_caseSensitive = on;
    if (m_sorted) Sort();
}

void TStringList::Sort() {
    CustomSort([](const TStringList& list, int a, int b) {
        return list.Compare(list.m_items[static_cast<size_t>(a)].text, list.m_items[static_cast<size_t>(b)].text);
    });
}

void TStringList::CustomSort(const CompareFunction& compare) {
    if (m_items.size() < 2) return;
    Changing();
    std::vector<int> order(m_items.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) { return compare(*this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(m_items.size());
    for (int i : order) sorted.push_back(std::move(m_items[static_cast<size_t>(i)]));
    m_items = std::move(sorted);
    Changed();
}

}  // namespace forms
