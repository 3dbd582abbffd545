// params.h - the parameter file: its loader and the listing of the settings
// in force.
#pragma once

#include "core/state.h"

#include <cstdio>

namespace kestrom {

constexpr int PARAM_LINE_SIZE = 300; // readline buffer

// Reads the parameter file named by argv[1]; 1 loaded, 0 failed.  Reports go
// to the log under "kestrom" and privately to `user` when not null.
int loadParameterFile(MyState *state, ServerUserRec *user);
// One line into `line` (capacity maxlen), or null at end of file.
char *readline(char *line, int maxlen, FILE *f);
// Rank 0..4 named by the word at cp, or -1.
int getRank(const char *cp);
// Adds the rule of one parameter line; 0 only when memory ran out.
int buildLimitValue(MyState *state, ServerUserRec *user, const char *lp, int lineno,
                    const char *line);
// Parses the room selection at typeList into limit; 0 when memory ran out.
int isWhereCheckedOK(MyState *state, ServerUserRec *user, const char *line, int lineno,
                     const char *typeList, LimitValue *limit);
// Orders every chain for lookup: rules with ranges first.
void sortTypeLimits(ServerUserRec *user, MyState *state);
// Reports one problem of one line, wrapped with its line number.
void fileContentError(MyState *state, ServerUserRec *user, const char *line, int lineno,
                      const char *msg);
// A new LimitValue copied from proto (without its ranges or text), or null.
LimitValue *makeDefault(const LimitValue *proto);
// Frees one rule with its ranges and text.
void freeRule(LimitValue *rule);
// Frees a whole chain; the head becomes null.
void freeRuleChain(LimitValue *&head);

// The whole listing, to the log (toServer) and privately to user.
void showParameters(MyState *state, ServerUserRec *user, int toServer);
// One rate-form line per rule of the chain.
void showTypeLimits(ServerUserRec *user, const char *type, const LimitValue *first, int toServer);
// Appends the rule's room selection to s, never writing past se.
void appendWhere(char *s, char *se, const LimitValue *limit);
// One listing line: to the log and/or privately behind "; ".
void logMessage(ServerUserRec *user, const char *message, int toServer);

}  // namespace kestrom
