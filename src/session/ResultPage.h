#pragma once
// The HTML result page of a tab, in GBK, as a list or as a grid of large pictures.

#include "Tabs.h"

// Service values go in through the rules of PageText: the keyword highlight in a title stays
// markup, everything else is text, addresses are http(s) or inert, numbers are digits.
Text BuildListPage(const TAB& tab);
Text BuildGridPage(const TAB& tab);
// The layout the tab's view position chooses: 0 the list, anything else the grid.
Text BuildPage(const TAB& tab);

// The bytes handed to the browser: the page split into lines at CR LF, CR and LF, each line
// written back followed by CR LF.
std::string HtmlStream(const Text& html);
