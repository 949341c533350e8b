#include "core/bracket/bracket_pages.h"

#include <algorithm>

#include "core/registration/registry.h"

namespace velmaro {

namespace {

std::mutex& bracketMutex() {
    static std::mutex m;
    return m;
}

} // namespace

std::unique_lock<std::mutex> lockBrackets() { return std::unique_lock<std::mutex>(bracketMutex()); }

TBracketPageList& bracketPages() {
    static TBracketPageList pages;
    return pages;
}

std::shared_ptr<TBracketPage> addBracketPage(TClassItem* classItem) {
    auto page = std::make_shared<TBracketPage>();
    setPageClass(*page, classItem);
    bracketPages().push_back(page);
    return page;
}

void removeBracketPage(const TBracketPage* page) {
    auto& pages = bracketPages();
    pages.erase(std::remove_if(pages.begin(), pages.end(), [&](const auto& p) { return p.get() == page; }),
                pages.end());
}

std::shared_ptr<TBracketPage> findBracketPage(std::int32_t classId) {
    for (const auto& page : bracketPages())
        if (page->classItem && page->classId == classId) return page;
    return nullptr;
}

void setPageClass(TBracketPage& page, TClassItem* classItem) {
    page.classItem = classItem;
    page.classId = classItem ? classItem->id : -1;
    if (page.bracket) page.bracket->classItem = classItem;
}

std::shared_ptr<TFinalBracket> setPageBracket(TBracketPage& page, std::shared_ptr<TFinalBracket> bracket) {
    std::shared_ptr<TFinalBracket> old = std::move(page.bracket);
    page.bracket = std::move(bracket);
    if (page.bracket) page.bracket->classItem = page.classItem;
    return old;
}

void syncBracketClass(TFinalBracket& bracket) {
    if (!bracket.classItem) return;
    bracket.classId = bracket.classItem->id;
    bracket.title = bracket.classItem->name;
}

void rebuildAllBracketDrawings() {
    auto lock = lockBrackets();
    for (const auto& page : bracketPages()) {
        if (!page->bracket) continue;
        syncBracketClass(*page->bracket);
        page->bracket->makeSVG();
    }
}

} // namespace velmaro
