// TStrings, the list-of-lines interface that string lists and the list
// controls share, and TStringList, the list kept in memory.
#pragma once

#include <functional>
#include <vector>

#include "framework/forms/Component.h"
#include "framework/forms/Streams.h"

namespace forms {

class TStrings : public TObject {
public:
    FORMS_CLASS(TStrings)

    virtual int Count() const = 0;
    // Both raise EListError for an index out of range.
    virtual String Get(int index) const = 0;
    virtual void Put(int index, const String& s);
    virtual void* GetObject(int index) const { return nullptr; }
    virtual void PutObject(int index, void* object) {}
    virtual void Insert(int index, const String& s) = 0;
    virtual void Delete(int index) = 0;
    virtual void Clear() = 0;
    virtual int Add(const String& s);
    int AddObject(const String& s, void* object);
    virtual int IndexOf(const String& s) const;  // case-insensitive
    int IndexOfObject(void* object) const;
    void Exchange(int a, int b);
    void Move(int from, int to);

    String operator[](int index) const { return Get(index); }

    // Lines joined by CR LF, each one ended by it.
    String Text() const;
    // Splits at CR LF, CR or LF; a last line without an ending counts.
    void SetText(const String& text);
    // "name=value" lines.
    String Names(int index) const;
    int IndexOfName(const String& name) const;
    String Values(const String& name) const;
    void SetValue(const String& name, const String& value);

    void Assign(const TStrings& source);
    void AddStrings(const TStrings& source);
    bool Equals(const TStrings& other) const;

    // Nested; painting controls hold their redraw until the outermost end.
    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return m_updateCount; }

    // UTF-8 text (a leading byte-order mark is skipped).
    virtual void LoadFromStream(TStream& stream);
    virtual void SaveToStream(TStream& stream) const;
    virtual void LoadFromFile(const String& path);
    virtual void SaveToFile(const String& path) const;

protected:
    virtual void SetUpdateState(bool updating) {}
    void CheckIndex(int index, int count) const;

private:
    int m_updateCount = 0;
};

enum class TDuplicates { dupIgnore, dupAccept, dupError };

class TStringList : public TStrings {
public:
    FORMS_CLASS(TStringList)
    using CompareFunction = std::function<int(const TStringList& list, int a, int b)>;

    int Count() const override { return static_cast<int>(m_items.size()); }
    String Get(int index) const override;
    void Put(int index, const String& s) override;
    void* GetObject(int index) const override;
    void PutObject(int index, void* object) override;
    void Insert(int index, const String& s) override;
    void Delete(int index) override;
    void Clear() override;
    int Add(const String& s) override;
    int IndexOf(const String& s) const override;

    bool Sorted() const { return m_sorted; }
    void SetSorted(bool sorted);
    TDuplicates Duplicates() const { return m_duplicates; }
    void SetDuplicates(TDuplicates d) { m_duplicates = d; }
    bool CaseSensitive() const { return m_caseSensitive; }
    void SetCaseSensitive(bool on);
    // Binary search in a sorted list: the index of s, or where it would go.
    bool Find(const String& s, int& index) const;
    void Sort();
    void CustomSort(const CompareFunction& compare);

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool updating) override;

private:
    struct Item {
        String text;
        void* object = nullptr;
    };
    int Compare(const String& a, const String& b) const;
    void Changing();
    void Changed();
    void InsertItem(int index, const String& s, void* object);

    std::vector<Item> m_items;
    bool m_sorted = false;
    bool m_caseSensitive = false;
    TDuplicates m_duplicates = TDuplicates::dupIgnore;
    bool m_updating = false;
};

}  // namespace forms
