// The maker's web presence: the address list read at start-up.
#pragma once

#include <string>

namespace tavrel {

// Reads Common\license\UrlList.txt beside the program folder (twenty lines;
// line 1 is the home page) into HomePageAddress, or takes the built-in home
// page when the file does not exist.
void Get_UrlList();

// The maker's web site, a base address without path.
std::string WebSite();

}  // namespace tavrel
