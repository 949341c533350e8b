#include "core/bracket/bracket_pages.h"

#include <algorithm>

#include "core/registration/registry.h"

namespace velmaro {

std::unique_lock<std::mutex> BracketPages::lockBrackets() { return std::unique_lock<std::mutex>(mutex_); }

std::shared_ptr<TBracketPage> BracketPages::addBracketPage(TClassItem* classItem) {
    auto page = std::make_shared<TBracketPage>();
    setPageClass(*page, classItem);
    pages_.push_back(page);
    return page;
}

void BracketPages::removeBracketPage(const TBracketPage* page) {
    pages_.erase(std::remove_if(pages_.begin(), pages_.end(), [&](const auto& p) { return p.get() == page; }),
                 pages_.end());
}

std::shared_ptr<TBracketPage> BracketPages::findBracketPage(std::int32_t classId) const {
    for (const auto& page : pages_)
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

void BracketPages::rebuildAllBracketDrawings() {
    auto lock = lockBrackets();
    for (const auto& page : pages_) {
        if (!page->bracket) continue;
        syncBracketClass(*page->bracket);
        page->bracket->makeSVG();
    }
}

} // namespace velmaro
