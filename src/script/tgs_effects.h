// The scenario frame's effect starts as one table: which effect each start makes and the kinds of
// the values it hands the effect after the target, in order. A start gathers its values and
// BuildEffectPack turns them into the effect's typed pack by its row.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>

#include "files/effect_args.h"

class CDrawable;

enum class TgsEffectStart : uint8_t {
    BgZoom,
    BgRot,
    BgPanime,
    BgBlur,
    BgBlurEx,
    Noise,
    Quake,
    BgRast,
    BgHaze,
    BgLoop,
    BgCross,
    Paper,
    Light,
    Snow,
    Rain,
    SpParts,
    SpPartsFromList,
    SpCfade,
    SpPanime,
    SpChange,
    WindowPanime,
};

// Kinds, one character a value: 'i' 32-bit integer, 'b' byte (the low 8 bits), 't' text, 'd'
// double, 'o' sprite object, 'v' a scenario value as given (its text when it is one, else its
// integer: the effect reads numbers written as text itself).
struct TgsEffectRow {
    TgsEffectStart start;
    const char* effect;
    const char* kinds;
};

// One value of a start.
struct TgsEffectValue {
    enum Type : uint8_t { kNumber, kText, kReal, kObject };
    TgsEffectValue(int32_t v) : number(v) {}
    TgsEffectValue(bool v) : number(v ? 1 : 0) {}
    TgsEffectValue(const char* v) : text(v), type(kText) {}
    TgsEffectValue(double v) : real(v), type(kReal) {}
    TgsEffectValue(CDrawable* v) : object(v), type(kObject) {}

    int32_t number = 0;
    const char* text = nullptr;
    double real = 0.0;
    CDrawable* object = nullptr;
    Type type = kNumber;
};

std::span<const TgsEffectRow> TgsEffectRows();
const TgsEffectRow& TgsEffectRowOf(TgsEffectStart start);
// The pack of a start by its row → false when the values do not match the row's kinds in count
// or type (a text kind takes a text or null, an object kind an object, numbers anything numeric).
bool BuildEffectPack(const TgsEffectRow& row, std::initializer_list<TgsEffectValue> values,
                     CEffectArgs* pack);
bool BuildEffectPack(const TgsEffectRow& row, std::span<const TgsEffectValue> values, CEffectArgs* pack);
