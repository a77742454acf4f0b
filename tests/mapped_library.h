// Whether a shared library is mapped into this process, by the start of its file name
// ("libavcodec.so."): for checks that a large library is opened only when first needed.
#pragma once

#include <link.h>

#include <cstring>

inline bool LibraryMapped(const char* stem)
{
    struct Search {
        const char* stem;
        bool found;
    } search{stem, false};
    dl_iterate_phdr(
        [](dl_phdr_info* info, size_t, void* data) {
            auto* s = static_cast<Search*>(data);
            const char* slash = std::strrchr(info->dlpi_name, '/');
            const char* name = slash != nullptr ? slash + 1 : info->dlpi_name;
            s->found = std::strncmp(name, s->stem, std::strlen(s->stem)) == 0;
            return s->found ? 1 : 0;
        },
        &search);
    return search.found;
}
