# The program's name, owner and website are part of its build information: set them at configure
# time (-DCORVANE_PRODUCT_NAME=...) and every window that shows them follows. The version is the
# project() version.
set(CORVANE_PRODUCT_NAME "Corvane" CACHE STRING "Product name shown in the window captions")
set(CORVANE_OWNER_NAME "The Corvane Developers" CACHE STRING "Owner shown in the caption and the about window")
set(CORVANE_WEBSITE "www.corvane.example" CACHE STRING "Website opened by the website button and shown first in the Web tab")
set(CORVANE_APP_ID "example.corvane.Corvane" CACHE STRING "Reverse-DNS application id (desktop file, icon, metainfo)")
set(CORVANE_OWNER_EMAIL "" CACHE STRING "Address of the package's maintainer (empty: packages@ the website's domain)")
# The date of this version, for the metainfo's release and the package's changelog.
set(CORVANE_RELEASE_DATE "2026-12-10")

# What the desktop files and the package derive from these: the website as a URL, and the owner
# as the package's maintainer, "Name <address>".
if(CORVANE_WEBSITE MATCHES "^[Hh][Tt][Tt][Pp][Ss]?://")
    set(CORVANE_WEBSITE_URL "${CORVANE_WEBSITE}")
else()
    set(CORVANE_WEBSITE_URL "https://${CORVANE_WEBSITE}")
endif()
if(CORVANE_OWNER_EMAIL)
    set(CORVANE_MAINTAINER "${CORVANE_OWNER_NAME} <${CORVANE_OWNER_EMAIL}>")
else()
    string(REGEX REPLACE "^[A-Za-z]+://" "" website_host "${CORVANE_WEBSITE_URL}")
    string(REGEX REPLACE "[/:?#].*$" "" website_host "${website_host}")
    string(REGEX REPLACE "^[Ww][Ww][Ww]\\." "" website_host "${website_host}")
    string(TOLOWER "${website_host}" website_host)
    set(CORVANE_MAINTAINER "${CORVANE_OWNER_NAME} <packages@${website_host}>")
endif()

# The names alone (branding/Branding.h), for code linked before the values are chosen: the windows
# link these, and each program links one set of values.
add_library(corvane_branding_names INTERFACE "${CMAKE_SOURCE_DIR}/src/branding/Branding.h")
target_include_directories(corvane_branding_names INTERFACE "${CMAKE_SOURCE_DIR}/src")
target_link_libraries(corvane_branding_names INTERFACE Qt6::Core)

# corvane_add_branding(TARGET PRODUCT OWNER WEBSITE): a static library with these values behind
# branding/Branding.h. The programs link the configured values; a test may link others.
function(corvane_add_branding target product owner website)
    foreach(part product owner website)
        string(REPLACE "\\" "\\\\" escaped "${${part}}")
        string(REPLACE "\"" "\\\"" escaped "${escaped}")
        string(TOUPPER "${part}" upper)
        set(BRANDING_${upper} "${escaped}")
    endforeach()
    set(source "${CMAKE_BINARY_DIR}/generated/${target}.cpp")
    configure_file("${CMAKE_SOURCE_DIR}/cmake/Branding.cpp.in" "${source}" @ONLY)
    add_library(${target} STATIC "${source}")
    target_link_libraries(${target} PUBLIC corvane_branding_names corvane_flags)
endfunction()
