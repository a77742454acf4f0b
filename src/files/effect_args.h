// CEffectArgs: the typed argument pack that effects, transitions and their callbacks take in place
// of C variable arguments: 32-bit integers, doubles, Shift-JIS texts (copied into the pack) and
// object pointers, in order. Header-only, so that plug-ins use it without engine symbols.
// Engine objects travel as typed objects: the pointer with its base class (surface, drawable,
// group file, canvas), so that an effect never takes one kind of object for another.
// Getters answer false past the end or for a value of another type (the output is then untouched).
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

class CSurface;
class CDrawable;
class CGroupFile;
class CImageObject;

class CEffectArgs {
public:
    enum EType { kInt = 0, kDouble = 1, kText = 2, kPointer = 3, kObject = 4, kNone = -1 };
    enum EBase : uint8_t { kBaseSurface = 1, kBaseDrawable = 2, kBaseGroupFile = 3, kBaseImageObject = 4 };
    struct Object {
        void* pointer;
        uint8_t base;
    };
    using Value = std::variant<int32_t, double, std::string, void*, Object>;

    CEffectArgs() = default;

    // A pack of C++ values: integers (and enums, bools) become 32-bit integers, floating values
    // doubles, char pointers and strings texts, other pointers object pointers.
    template <typename... A>
    static CEffectArgs Of(A&&... values)
    {
        CEffectArgs pack;
        (pack.Add(std::forward<A>(values)), ...);
        return pack;
    }

    void AddInt(int32_t value) { m_values.emplace_back(std::in_place_index<kInt>, value); }
    void AddDouble(double value) { m_values.emplace_back(std::in_place_index<kDouble>, value); }
    // A null text is kept as an empty one.
    void AddText(const char* text) { m_values.emplace_back(std::in_place_index<kText>, text ? text : ""); }
    void AddPointer(void* object) { m_values.emplace_back(std::in_place_index<kPointer>, object); }
    void AddObject(CSurface* object) { AddTyped(object, kBaseSurface); }
    void AddObject(CDrawable* object) { AddTyped(object, kBaseDrawable); }
    void AddObject(CGroupFile* object) { AddTyped(object, kBaseGroupFile); }
    void AddObject(CImageObject* object) { AddTyped(object, kBaseImageObject); }
    // Out values: the value at index i, the pack padded with integers 0 up to it.
    void SetInt(size_t i, int32_t value) { At(i).emplace<kInt>(value); }
    void SetDouble(size_t i, double value) { At(i).emplace<kDouble>(value); }

    template <typename T>
    void Add(T&& value)
    {
        using V = std::decay_t<T>;
        if constexpr (std::is_same_v<V, char*> || std::is_same_v<V, const char*>)
            AddText(value);
        else if constexpr (std::is_same_v<V, std::string>)
            AddText(value.c_str());
        else if constexpr (requires(CEffectArgs& pack) { pack.AddObject(value); })
            AddObject(value);
        else if constexpr (std::is_pointer_v<V> || std::is_null_pointer_v<V>)
            AddPointer(const_cast<void*>(static_cast<const void*>(value)));
        else if constexpr (std::is_floating_point_v<V>)
            AddDouble(static_cast<double>(value));
        else
            AddInt(static_cast<int32_t>(value));
    }

    size_t GetCount() const { return m_values.size(); }
    EType GetType(size_t i) const { return i < m_values.size() ? static_cast<EType>(m_values[i].index()) : kNone; }
    bool GetInt(size_t i, int32_t* out) const { return Get<kInt>(i, out); }
    bool GetDouble(size_t i, double* out) const { return Get<kDouble>(i, out); }
    bool GetPointer(size_t i, void** out) const { return Get<kPointer>(i, out); }
    // The typed object at i; null for another type, another base or past the end.
    CSurface* GetSurface(size_t i) const { return static_cast<CSurface*>(GetTyped(i, kBaseSurface)); }
    CDrawable* GetDrawable(size_t i) const { return static_cast<CDrawable*>(GetTyped(i, kBaseDrawable)); }
    CGroupFile* GetGroupFile(size_t i) const { return static_cast<CGroupFile*>(GetTyped(i, kBaseGroupFile)); }
    CImageObject* GetImageObject(size_t i) const { return static_cast<CImageObject*>(GetTyped(i, kBaseImageObject)); }
    // An integer, or fallback for another type or past the end.
    int32_t IntAt(size_t i, int32_t fallback = 0) const
    {
        int32_t value = fallback;
        GetInt(i, &value);
        return value;
    }
    // A text, or null for another type or past the end.
    const char* TextAt(size_t i) const
    {
        const char* text = nullptr;
        GetText(i, &text);
        return text;
    }
    // The text stays owned by the pack.
    bool GetText(size_t i, const char** out) const
    {
        if (GetType(i) != kText || out == nullptr)
            return false;
        *out = std::get<kText>(m_values[i]).c_str();
        return true;
    }
    void Clear() { m_values.clear(); }

private:
    void AddTyped(void* object, uint8_t base) { m_values.emplace_back(std::in_place_index<kObject>, Object{object, base}); }
    void* GetTyped(size_t i, uint8_t base) const
    {
        if (GetType(i) != kObject)
            return nullptr;
        const Object& object = std::get<kObject>(m_values[i]);
        return object.base == base ? object.pointer : nullptr;
    }
    Value& At(size_t i)
    {
        while (m_values.size() <= i)
            m_values.emplace_back(std::in_place_index<kInt>, 0);
        return m_values[i];
    }
    template <size_t K, typename T>
    bool Get(size_t i, T* out) const
    {
        if (GetType(i) != static_cast<EType>(K) || out == nullptr)
            return false;
        *out = std::get<K>(m_values[i]);
        return true;
    }

    std::vector<Value> m_values;
};
