// Token comparison shared by the rule lookup and the single-software add of the uninstallable list.
#pragma once

#include <string>
#include <vector>

// Texts compared by MatchTokens; each is lower-cased (C runtime) as it is added.
using TokenList = std::vector<std::wstring>;

void AddToken(TokenList& list, const std::wstring& strText);

// 2 when a non-empty text of one list equals one of the other, else 1 when one contains the other, else 0.
// The first exact pair wins at once, whatever partial pairs came before it.
int MatchTokens(const TokenList& a, const TokenList& b);

// The text after the last backslash of a registry key text; empty when there is none.
std::wstring KeyTail(const std::wstring& strKey);
