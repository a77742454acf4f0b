// CEffectArgs: the typed argument pack that effects, transitions and their callbacks take in place
// of C variable arguments: 32-bit integers, doubles, Shift-JIS texts (copied into the pack) and
// object pointers, in order. Header-only, so that plug-ins use it without engine symbols.
// Getters answer false past the end or for a value of another type (the output is then untouched).
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

class CEffectArgs {
public:
    enum EType { kInt = 0, kDouble = 1, kText = 2, kPointer = 3, kNone = -1 };

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

    template <typename T>
    void Add(T&& value)
    {
        using V = std::decay_t<T>;
        if constexpr (std::is_same_v<V, char*> || std::is_same_v<V, const char*>)
            AddText(value);
        else if constexpr (std::is_same_v<V, std::string>)
            AddText(value.c_str());
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
    template <size_t K, typename T>
    bool Get(size_t i, T* out) const
    {
        if (GetType(i) != static_cast<EType>(K) || out == nullptr)
            return false;
        *out = std::get<K>(m_values[i]);
        return true;
    }

    std::vector<std::variant<int32_t, double, std::string, void*>> m_values;
};
