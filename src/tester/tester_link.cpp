#include "tester/tester_link.h"

namespace zul {
namespace {

std::unique_ptr<TesterLink>& ActiveSlot() {
    static std::unique_ptr<TesterLink> link;
    return link;
}

}  // namespace

TesterLink* ActiveTesterLink() { return ActiveSlot().get(); }

void InstallTesterLink(std::unique_ptr<TesterLink> link) {
    // The old link is torn down before the new one takes over, so that a
    // port it held is free again.
    ActiveSlot().reset();
    ActiveSlot() = std::move(link);
}

}  // namespace zul
