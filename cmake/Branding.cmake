# The program's name, owner and website are part of its build information: set them at configure
# time (-DCORVANE_PRODUCT_NAME=...) and every window that shows them follows. The version is the
# project() version.
set(CORVANE_PRODUCT_NAME "Corvane" CACHE STRING "Product name shown in the window captions")
set(CORVANE_OWNER_NAME "The Corvane Developers" CACHE STRING "Owner shown in the caption and the about window")
set(CORVANE_WEBSITE "www.corvane.example" CACHE STRING "Website opened by the website button and shown first in the Web tab")

set(CORVANE_APP_ID "example.corvane.Corvane" CACHE STRING "Reverse-DNS application id (desktop file, icon, metainfo)")

# The values end up in C++ string literals.
foreach(value CORVANE_PRODUCT_NAME CORVANE_OWNER_NAME CORVANE_WEBSITE)
    string(REPLACE "\\" "\\\\" escaped "${${value}}")
    string(REPLACE "\"" "\\\"" escaped "${escaped}")
    set(${value}_LITERAL "${escaped}")
endforeach()

configure_file("${CMAKE_CURRENT_LIST_DIR}/Branding.h.in"
    "${CMAKE_BINARY_DIR}/generated/app/Branding.h" @ONLY)
add_library(corvane_branding INTERFACE)
target_include_directories(corvane_branding INTERFACE "${CMAKE_BINARY_DIR}/generated")
