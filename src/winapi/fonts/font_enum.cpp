// EnumFontFamiliesExA over fontconfig's installed families: each family once per character set
// it covers (Shift-JIS for Japanese, ANSI for Latin), with an "@" twin for vertical writing.
#include <fontconfig/fontconfig.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "winapi/fonts/font_engine.h"
#include "winapi/text.h"

namespace winapi {

namespace {

struct InstalledFamily {
    std::string english;  // UTF-8
    std::string japanese; // UTF-8, empty when the family has no Japanese name
    bool japaneseCover = false;
    bool latinCover = false;
    bool scalable = false;
    bool fixedPitch = false;
};

std::vector<InstalledFamily> ListFamilies()
{
    std::map<std::string, InstalledFamily> families;
    UseFontconfig();
    FcPattern* pattern = FcPatternCreate();
    FcObjectSet* objects =
        FcObjectSetBuild(FC_FAMILY, FC_FAMILYLANG, FC_LANG, FC_SCALABLE, FC_SPACING, nullptr);
    FcFontSet* set = pattern && objects ? FcFontList(nullptr, pattern, objects) : nullptr;
    if (set != nullptr) {
        for (int i = 0; i < set->nfont; ++i) {
            FcPattern* font = set->fonts[i];
            InstalledFamily family;
            FcChar8* name = nullptr;
            for (int k = 0; FcPatternGetString(font, FC_FAMILY, k, &name) == FcResultMatch; ++k) {
                FcChar8* lang = nullptr;
                const bool hasLang = FcPatternGetString(font, FC_FAMILYLANG, k, &lang) == FcResultMatch;
                const std::string n = reinterpret_cast<const char*>(name);
                if (hasLang && std::strcmp(reinterpret_cast<const char*>(lang), "ja") == 0) {
                    if (family.japanese.empty())
                        family.japanese = n;
                } else if (family.english.empty() &&
                           (!hasLang || std::strcmp(reinterpret_cast<const char*>(lang), "en") == 0 ||
                            k == 0)) {
                    family.english = n;
                }
            }
            if (family.english.empty())
                family.english = family.japanese;
            if (family.english.empty())
                continue;
            FcLangSet* langs = nullptr;
            if (FcPatternGetLangSet(font, FC_LANG, 0, &langs) == FcResultMatch) {
                family.japaneseCover =
                    FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("ja")) == FcLangEqual;
                family.latinCover =
                    FcLangSetHasLang(langs, reinterpret_cast<const FcChar8*>("en")) == FcLangEqual;
            }
            FcBool scalable = FcFalse;
            FcPatternGetBool(font, FC_SCALABLE, 0, &scalable);
            family.scalable = scalable != FcFalse;
            int spacing = FC_PROPORTIONAL;
            FcPatternGetInteger(font, FC_SPACING, 0, &spacing);
            family.fixedPitch = spacing == FC_MONO || spacing == FC_DUAL;
            // One entry a family however many files hold it; covers join.
            auto [it, added] = families.emplace(family.english, family);
            if (!added) {
                it->second.japaneseCover |= family.japaneseCover;
                it->second.latinCover |= family.latinCover;
                it->second.scalable |= family.scalable;
                if (it->second.japanese.empty())
                    it->second.japanese = family.japanese;
            }
        }
        FcFontSetDestroy(set);
    }
    if (objects)
        FcObjectSetDestroy(objects);
    if (pattern)
        FcPatternDestroy(pattern);
    std::vector<InstalledFamily> list;
    for (auto& [key, family] : families)
        list.push_back(family);
    return list;
}

// The Shift-JIS form of a name when it has one that fits a face name.
bool FaceNameBytes(const std::string& utf8, const char* prefix, std::string* out)
{
    const std::string sjis = Utf8ToSjis(utf8);
    if (SjisToUtf8(sjis) != utf8)
        return false;
    *out = prefix + sjis;
    return out->size() <= LF_FACESIZE - 1;
}

} // namespace

} // namespace winapi

using namespace winapi;

int WINAPI EnumFontFamiliesExA(HDC, const LOGFONTA* font, FONTENUMPROCA proc, LPARAM lParam, DWORD)
{
    if (font == nullptr || proc == nullptr)
        return 0;
    size_t wantedLength = 0;
    while (wantedLength < LF_FACESIZE && font->lfFaceName[wantedLength] != '\0')
        ++wantedLength;
    const std::string wanted(font->lfFaceName, wantedLength);
    int answer = 1;
    for (const InstalledFamily& family : ListFamilies()) {
        struct Report {
            BYTE charset;
            const std::string* name;
            const char* prefix;
        };
        std::vector<Report> reports;
        if (family.latinCover)
            reports.push_back({ANSI_CHARSET, &family.english, ""});
        if (family.japaneseCover) {
            const std::string* name = family.japanese.empty() ? &family.english : &family.japanese;
            reports.push_back({SHIFTJIS_CHARSET, name, ""});
            reports.push_back({SHIFTJIS_CHARSET, name, "@"});
        }
        for (const Report& report : reports) {
            if (font->lfCharSet != DEFAULT_CHARSET && font->lfCharSet != report.charset)
                continue;
            std::string face;
            if (!FaceNameBytes(*report.name, report.prefix, &face))
                continue;
            if (!wanted.empty() && wanted != face)
                continue;
            ENUMLOGFONTEXA record{};
            LOGFONTA& lf = record.elfLogFont;
            lf.lfHeight = 16;
            lf.lfWeight = FW_NORMAL;
            lf.lfCharSet = report.charset;
            lf.lfOutPrecision = 3;
            lf.lfClipPrecision = 2;
            lf.lfQuality = 1;
            lf.lfPitchAndFamily = family.fixedPitch ? FIXED_PITCH : VARIABLE_PITCH;
            std::memcpy(lf.lfFaceName, face.data(), face.size());
            std::memcpy(record.elfFullName, face.data(), face.size());
            NEWTEXTMETRICEXA metrics{};
            metrics.ntmTm.tm.tmHeight = 16;
            metrics.ntmTm.tm.tmWeight = FW_NORMAL;
            metrics.ntmTm.tm.tmCharSet = report.charset;
            metrics.ntmTm.tm.tmPitchAndFamily = lf.lfPitchAndFamily;
            metrics.ntmTm.ntmSizeEM = 2048;
            answer = proc(&record.elfLogFont, &metrics.ntmTm.tm,
                          family.scalable ? TRUETYPE_FONTTYPE : RASTER_FONTTYPE, lParam);
            if (answer == 0)
                return 0;
        }
    }
    return answer;
}
