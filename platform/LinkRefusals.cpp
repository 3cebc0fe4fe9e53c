#include "LinkRefusals.h"

namespace ostrel {

void SetLinkJournal(LinkJournal journal)
{
    LinkRefusals::Instance().Set(std::move(journal));
}

}  // namespace ostrel
