// rules.cpp - making and freeing rule records.
#include "core/memory.h"
#include "params/params.h"

namespace kestrom {

LimitValue *makeDefault(const LimitValue *proto) {
    if (!proto) return nullptr;
    LimitValue *rule = newZeroed<LimitValue>();
    if (!rule) {
        FormattedLogMessage(nullptr, "kestrom", "%s", "Unable to get memory for LimitValue, init failed");
        return nullptr;
    }
    *rule = *proto;
    rule->next = nullptr;
    rule->roomNumbers = nullptr;
    rule->string = nullptr; // the built-in defaults carry no text
    return rule;
}

void freeRule(LimitValue *rule) {
    if (!rule) return;
    for (RoomNumbers *range = rule->roomNumbers; range;) {
        RoomNumbers *next = range->next;
        DisposePtr(range);
        range = next;
    }
    if (rule->string) DisposePtr(rule->string); // most rules have none
    DisposePtr(rule);
}

void freeRuleChain(LimitValue *&head) {
    while (head) {
        LimitValue *next = head->next;
        freeRule(head);
        head = next;
    }
}

}  // namespace kestrom
