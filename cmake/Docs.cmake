# The API reference: `cmake --build <dir> --target ombrix_docs` writes HTML
# to <dir>/docs/html and fails on any warning, an undocumented public
# member among them. Present when Doxygen is (Debian package doxygen).
find_package(Doxygen QUIET)
if(DOXYGEN_FOUND)
  set(OMBRIX_DOCS_OUTPUT ${PROJECT_BINARY_DIR}/docs)
  configure_file(${PROJECT_SOURCE_DIR}/docs/Doxyfile.in ${PROJECT_BINARY_DIR}/Doxyfile @ONLY)
  add_custom_target(ombrix_docs
    COMMAND Doxygen::doxygen ${PROJECT_BINARY_DIR}/Doxyfile
    WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    COMMENT "API reference in ${OMBRIX_DOCS_OUTPUT}/html"
    VERBATIM)
endif()
