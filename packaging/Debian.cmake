# The Debian package (make deb): the programs, the manual pages and the changelog compressed
# with gzip -9n as Debian's policy asks, the copyright file in Debian's format, the README,
# the bundled examples and lintian's overrides, each in its Debian place; CPack's DEB
# generator then writes rekul_<version>_<arch>.deb, stripped, with the dependencies that
# dpkg-shlibdeps reads off the binaries.
set(REKUL_PACKAGE_DOC "${CMAKE_INSTALL_DATADIR}/doc/rekul")
find_program(GZIP gzip REQUIRED)

function(rekul_gzip SOURCE TARGET_NAME)
  set(output "${PROJECT_BINARY_DIR}/package/${TARGET_NAME}")
  add_custom_command(OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${PROJECT_BINARY_DIR}/package"
    COMMAND ${GZIP} -9n -c "${SOURCE}" > "${output}"
    DEPENDS "${SOURCE}" VERBATIM)
  set_property(GLOBAL APPEND PROPERTY REKUL_PACKAGE_FILES "${output}")
endfunction()

foreach(page rekul rekulo rekul-report rekul-scan)
  rekul_gzip("${PROJECT_BINARY_DIR}/man/${page}.1" "${page}.1.gz")
  install(FILES "${PROJECT_BINARY_DIR}/package/${page}.1.gz"
    DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
configure_file(packaging/changelog.Debian.in "${PROJECT_BINARY_DIR}/package/changelog.Debian"
  @ONLY)
rekul_gzip("${PROJECT_BINARY_DIR}/package/changelog.Debian" "changelog.Debian.gz")
get_property(packageFiles GLOBAL PROPERTY REKUL_PACKAGE_FILES)
add_custom_target(package-files ALL DEPENDS ${packageFiles})

install(FILES "${PROJECT_BINARY_DIR}/package/changelog.Debian.gz" packaging/copyright README.md
  DESTINATION ${REKUL_PACKAGE_DOC})
install(FILES examples/example.motifs examples/example.fa examples/example.ortho.fa
  DESTINATION ${REKUL_PACKAGE_DOC}/examples)
install(FILES examples/genome/genome.fa examples/genome/peaks.bed
  DESTINATION ${REKUL_PACKAGE_DOC}/examples/genome)
install(DIRECTORY examples/genome/atlas DESTINATION ${REKUL_PACKAGE_DOC}/examples/genome)
# The CWL tools and workflows and the Snakemake wrapper and workflow, beside the examples
# their job files name (../../examples, as in the source tree).
install(DIRECTORY workflows DESTINATION ${REKUL_PACKAGE_DOC}
  PATTERN "__pycache__" EXCLUDE PATTERN ".snakemake" EXCLUDE)
install(FILES packaging/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
  RENAME rekul)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rekul)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "rekul maintainers <maintainers@users.noreply.c-seed-bea702e0.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "find recurrent cis-regulatory motif modules")
# CPack writes the summary as the synopsis line and indents each line of the rest.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "rekul finds sets of transcription-factor binding motifs that occur together,
within a short window, in many genes: it scans every position frequency
matrix on both strands of every gene, counts motif pairs and searches for
modules present in enough genes, with statistics against a background and
permutations. rekulo does the same on ortholog groups, and rekul-report turns
a report into TSV, BED, BEDPE, GFF3 and an HTML page.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Python module rekul, beside the programs: Python and numpy besides the libraries.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "python3 (>= 3.11), python3 (<< 3.12), python3-numpy")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://example.org/rekul")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
