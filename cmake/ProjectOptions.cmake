# The build's shared settings: one interface target carries the language standard, the
# warnings, Qt's strictness defines and the sanitizers; every target of the project
# links it, and it links nothing.
add_library(tovaro_options INTERFACE)
target_compile_features(tovaro_options INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)

target_compile_options(tovaro_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Wunused -Woverloaded-virtual -Wconversion -Wsign-conversion
  -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)

target_compile_definitions(tovaro_options INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_URL_CAST_FROM_STRING
  QT_USE_QSTRINGBUILDER)

if(TOVARO_WERROR)
  target_compile_options(tovaro_options INTERFACE -Werror)
endif()

if(TOVARO_SANITIZE)
  target_compile_options(tovaro_options INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(tovaro_options INTERFACE -fsanitize=address,undefined)
endif()
