# Install rules and packages. `cmake --install` puts the programs, the three
# tables with their README, the examples and the manual pages in the usual tree
# (Linux) or in one folder (Windows); `cpack` makes a Debian package on Linux and
# a ZIP from the Windows cross build.
install(TARGETS velmora RUNTIME DESTINATION ${VELMORA_INSTALL_BINDIR})
foreach(companion velmora-cif velmora-powder)
  if(TARGET ${companion})
    install(TARGETS ${companion} RUNTIME DESTINATION ${VELMORA_INSTALL_BINDIR})
  endif()
endforeach()

install(FILES data/x-ray_coefficients_from_int_tables_edited.txt
              data/neutron_bcoh_from_international_tables_edited.txt
              data/neutron_mag_from_international_tables_edited.txt
              data/magnetic_form_factors.csv
        DESTINATION ${VELMORA_INSTALL_DATADIR})
file(GLOB example_answers ${PROJECT_SOURCE_DIR}/examples/*.txt)
# The CIFs of four examples, for velmora-cif.
install(FILES ${example_answers} examples/README.md tests/cif/cases/mno.mcif tests/cif/cases/magnetite.mcif
              tests/cif/cases/nacl.cif tests/cif/cases/silicon.cif
        DESTINATION ${VELMORA_INSTALL_EXAMPLESDIR})

# Set before the changelog that names the maintainer is written.
set(VELMORA_PACKAGE_MAINTAINER "velmora maintainers <maintainers@velmora.example.org>"
    CACHE STRING "Maintainer named in the Debian package")

if(WIN32)
  install(FILES data/README.md DESTINATION ${VELMORA_INSTALL_DATADIR} RENAME tables_README.md)
  configure_file(packaging/README-windows.txt ${CMAKE_BINARY_DIR}/packaging/README.txt @ONLY
                 NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README.txt DESTINATION ${VELMORA_INSTALL_DOCDIR})
else()
  install(FILES data/README.md DESTINATION ${VELMORA_INSTALL_DATADIR})
  # Manual pages and the Debian changelog, with the version filled in and
  # compressed as Debian wants them (gzip -9n: no name or time stamp inside).
  set(man_pages velmora.1)
  foreach(companion velmora-cif velmora-powder)
    if(TARGET ${companion})
      list(APPEND man_pages ${companion}.1)
    endif()
  endforeach()
  set(compressed)
  set(out ${CMAKE_BINARY_DIR}/packaging)
  foreach(file ${man_pages} changelog)
    if(file STREQUAL "changelog")
      configure_file(packaging/changelog.in ${out}/filled/${file} @ONLY)
    else()
      configure_file(doc/${file} ${out}/filled/${file} @ONLY)
    endif()
    add_custom_command(OUTPUT ${out}/${file}.gz
                       COMMAND ${CMAKE_COMMAND} -E copy filled/${file} ${file}
                       COMMAND gzip -9nf ${file}
                       WORKING_DIRECTORY ${out}
                       DEPENDS ${out}/filled/${file} VERBATIM)
    list(APPEND compressed ${out}/${file}.gz)
  endforeach()
  add_custom_target(velmora_compressed_docs ALL DEPENDS ${compressed})
  list(TRANSFORM man_pages PREPEND ${out}/)
  list(TRANSFORM man_pages APPEND .gz)
  install(FILES ${man_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES packaging/copyright ${out}/changelog.gz
          DESTINATION ${VELMORA_INSTALL_DOCDIR})
endif()

set(CPACK_PACKAGE_NAME velmora)
set(CPACK_PACKAGE_VENDOR velmora)
set(CPACK_PACKAGE_CONTACT ${VELMORA_PACKAGE_MAINTAINER})
# The package's description, read whole from its file (its first line is the summary), so that
# no character of it is taken for CMake syntax.
file(READ packaging/description.txt description)
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS packaging/description.txt)
string(FIND "${description}" "\n" end_of_summary)
string(SUBSTRING "${description}" 0 ${end_of_summary} CPACK_PACKAGE_DESCRIPTION_SUMMARY)
math(EXPR start_of_text "${end_of_summary} + 1")
string(SUBSTRING "${description}" ${start_of_text} -1 CPACK_PACKAGE_DESCRIPTION)
string(STRIP "${CPACK_PACKAGE_DESCRIPTION}" CPACK_PACKAGE_DESCRIPTION)
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME velmora-${PROJECT_VERSION}-windows-x86-64)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION science)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  find_program(VELMORA_DPKG_SHLIBDEPS dpkg-shlibdeps)
  velmora_part("Debian package (cpack)" "VELMORA_DPKG_SHLIBDEPS" dpkg-dev)
  if(TARGET velmora_python)
    # The Python module is built for one python3 version and hands back numpy arrays.
    math(EXPR python_next "${Python_VERSION_MINOR} + 1")
    set(CPACK_DEBIAN_PACKAGE_DEPENDS
        "python3 (>= ${Python_VERSION_MAJOR}.${Python_VERSION_MINOR}~), python3 (<< ${Python_VERSION_MAJOR}.${python_next}), python3-numpy")
  endif()
endif()
include(CPack)
