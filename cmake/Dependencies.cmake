# Libraries of the editor: cairo draws (and finds Liberation Sans through fontconfig), libpng
# with zlib decodes the embedded images, Xlib embeds the window. The PNGs are compiled into
# the library as byte arrays, so the plug-in needs no files beside it.
find_package(PkgConfig REQUIRED)
pkg_check_modules(LUSTRANA_GUI REQUIRED IMPORTED_TARGET cairo libpng x11)
find_package(ZLIB REQUIRED)
target_link_libraries(lustrana_editor PUBLIC PkgConfig::LUSTRANA_GUI ZLIB::ZLIB)

# One generated C++ source per image: resources/<id>.png becomes lustranaImage<id>[].
set(LUSTRANA_IMAGE_IDS 101 104 105 106 107 108 109 110 111)
set(LUSTRANA_EMBED_DIR ${CMAKE_BINARY_DIR}/embedded)
foreach(id ${LUSTRANA_IMAGE_IDS})
  set(png ${CMAKE_SOURCE_DIR}/resources/${id}.png)
  set(out ${LUSTRANA_EMBED_DIR}/image${id}.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${png} -DOUTPUT=${out} -DSYMBOL=lustranaImage${id}
            -P ${CMAKE_SOURCE_DIR}/cmake/EmbedFile.cmake
    DEPENDS ${png} ${CMAKE_SOURCE_DIR}/cmake/EmbedFile.cmake
    COMMENT "Embedding image ${id}" VERBATIM)
  target_sources(lustrana_editor PRIVATE ${out})
endforeach()

# The artwork generator, built on request only: cmake --build . --target lustrana-artwork,
# then ./lustrana-artwork <source>/resources
file(GLOB LUSTRANA_ARTWORK_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/artwork/*.cpp)
add_executable(lustrana-artwork EXCLUDE_FROM_ALL ${LUSTRANA_ARTWORK_SOURCES})
target_include_directories(lustrana-artwork PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(lustrana-artwork PRIVATE PkgConfig::LUSTRANA_GUI)

# The window test clicks through XTest; its target exists only once tests/ is read.
pkg_check_modules(LUSTRANA_XTEST IMPORTED_TARGET xtst)
function(lustrana_link_window_tests)
  if(TARGET editor_window_test AND TARGET PkgConfig::LUSTRANA_XTEST)
    target_link_libraries(editor_window_test PRIVATE PkgConfig::LUSTRANA_XTEST)
    target_compile_definitions(editor_window_test PRIVATE LUSTRANA_HAVE_XTEST=1)
  endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL lustrana_link_window_tests)
