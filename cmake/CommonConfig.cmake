# One interface target carries every compiler flag and Qt strictness macro of the project.
add_library(corvane_flags INTERFACE)
target_compile_options(corvane_flags INTERFACE -Wall -Wextra -Wold-style-cast)
target_compile_definitions(corvane_flags INTERFACE
    QT_NO_CONTEXTLESS_CONNECT
    QT_NO_URL_CAST_FROM_STRING
    QT_NO_CAST_FROM_BYTEARRAY
    QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
    QT_USE_QSTRINGBUILDER)

if(CORVANE_SANITIZE)
    target_compile_options(corvane_flags INTERFACE
        -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
    target_link_options(corvane_flags INTERFACE -fsanitize=address,undefined)
endif()
