// The surface borrowers; see surface_borrowers.h.
#include "display/surface_borrowers.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

std::unordered_map<const CSurface*, std::vector<ISurfaceBorrower*>>& Borrowers()
{
    static auto* borrowers = new std::unordered_map<const CSurface*, std::vector<ISurfaceBorrower*>>;
    return *borrowers;
}

} // namespace

void AddSurfaceBorrower(CSurface* surface, ISurfaceBorrower* borrower)
{
    if (surface == nullptr || borrower == nullptr)
        return;
    auto& list = Borrowers()[surface];
    if (std::find(list.begin(), list.end(), borrower) == list.end())
        list.push_back(borrower);
}

void RemoveSurfaceBorrower(CSurface* surface, ISurfaceBorrower* borrower)
{
    auto found = Borrowers().find(surface);
    if (found == Borrowers().end())
        return;
    std::erase(found->second, borrower);
    if (found->second.empty())
        Borrowers().erase(found);
}

void SurfaceGone(CSurface* surface)
{
    auto found = Borrowers().find(surface);
    if (found == Borrowers().end())
        return;
    const std::vector<ISurfaceBorrower*> borrowers = std::move(found->second);
    Borrowers().erase(found);
    for (ISurfaceBorrower* borrower : borrowers)
        borrower->OnSurfaceGone(surface);
}

size_t SurfaceBorrowerCount(const CSurface* surface)
{
    auto found = Borrowers().find(surface);
    return found == Borrowers().end() ? 0 : found->second.size();
}
