#pragma once

#include <QString>

// The program's name, owner, website and version, from the build's configuration: pass
// -DCORVANE_PRODUCT_NAME=... (and _OWNER_NAME, _WEBSITE) to cmake to rebrand the program. The
// values are compiled into a small library of their own (see cmake/Branding.cmake), so a test
// program can link other values.
namespace corvane::Branding {

QString productName();
QString ownerName();
QString website();
QString version();
int versionMajor();
int versionMinor();
// The reverse-DNS id the desktop file, the icon and the metainfo are installed under.
QString appId();

} // namespace corvane::Branding
