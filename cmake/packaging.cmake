# What a release is: the exe built the same wherever it is built, the Windows zip with its
# checksums, the Linux .deb and .tar.gz. Included at the end of the top CMakeLists.txt, once
# the program's targets exist.
if(MINGW)
  # A release anyone can check: the same source gives the same bytes wherever and whenever it
  # is built. No build folder in the binary, no link time stamp in its header.
  foreach(target zavero zavero_core zavero_win32)
    target_compile_options(${target} PRIVATE
      -ffile-prefix-map=${CMAKE_SOURCE_DIR}=. -ffile-prefix-map=${CMAKE_BINARY_DIR}=.)
  endforeach()
  target_link_options(zavero PRIVATE -Wl,--no-insert-timestamp)
  # The oldest Windows the exe runs on, Windows Vista (6.0), in its header: what it imports
  # came with Vista or before (GetTickCount64, which the thread library brings, and GetErrorMode
  # came with Vista; packaging/windows/vista-imports.txt lists what it may import), and an
  # older system's loader refuses it at once rather than failing on a missing function.
  target_link_options(zavero PRIVATE -Wl,--major-os-version,6,--minor-os-version,0
    -Wl,--major-subsystem-version,6,--minor-subsystem-version,0)
endif()

# The most bytes zavero.exe may take, here and nowhere else: the README promises a small exe,
# and the release tests (release.size) fail once the exe grows past this.
set(ZAVERO_EXE_BUDGET 294912)

if(WIN32)
  install(TARGETS zavero RUNTIME DESTINATION .)
  install(FILES README.md LICENSE DESTINATION .)
  install(FILES docs/images/question_box.png DESTINATION docs/images)
  set(release_files zavero.exe README.md LICENSE docs/images/question_box.png)
  # Explorer's menu entries, beside the exe they run. cmd.exe reads batch files with CR LF
  # line ends (with LF alone it can miss a label), whatever this checkout's line ends are.
  foreach(script install-menu uninstall-menu)
    configure_file(packaging/windows/${script}.cmd ${script}.cmd @ONLY NEWLINE_STYLE CRLF)
    install(FILES ${CMAKE_BINARY_DIR}/${script}.cmd DESTINATION .)
    list(APPEND release_files ${script}.cmd)
  endforeach()
  if(MINGW)
    # The license texts of the toolchain's libraries linked into the exe, from the toolchain's
    # own packages on this machine (the build fails, naming what is missing, without them).
    set(notices ${CMAKE_BINARY_DIR}/THIRD-PARTY-NOTICES.txt)
    add_custom_command(OUTPUT ${notices}
      COMMAND sh ${CMAKE_SOURCE_DIR}/packaging/windows/third-party-notices.sh
        ${CMAKE_CXX_COMPILER} ${notices}
      DEPENDS packaging/windows/third-party-notices.sh
      COMMENT "Collecting the license texts of the toolchain's libraries" VERBATIM)
    add_custom_target(zavero_notices ALL DEPENDS ${notices})
    install(FILES ${notices} DESTINATION .)
    list(APPEND release_files THIRD-PARTY-NOTICES.txt)
  endif()
  # SHA256SUMS beside them, in sha256sum's format (sha256sum -c SHA256SUMS checks them all).
  install(CODE "set(release_files \"${release_files}\")")
  install(CODE [[
    set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(sums "")
    foreach(file ${release_files})
      file(SHA256 "${dir}/${file}" hash)
      string(APPEND sums "${hash}  ${file}\n")
    endforeach()
    file(WRITE "${dir}/SHA256SUMS" "${sums}")
  ]])
  set(CPACK_GENERATOR ZIP)
  set(CPACK_PACKAGE_FILE_NAME "zavero-${PROJECT_VERSION}-win32")
  include(CPack)
elseif(UNIX)
  include(GNUInstallDirs)
  set(CPACK_PACKAGE_CONTACT "zavero maintainers <zavero@users.noreply.github.com>")
  install(TARGETS zavero RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

  # What Debian asks of a package's documents, for any install: the manual page and the
  # changelog compressed without a time stamp (gzip -9n), the copyright in Debian's
  # machine-readable form.
  set(docs ${CMAKE_BINARY_DIR}/doc)
  file(MAKE_DIRECTORY ${docs})
  add_custom_command(OUTPUT ${docs}/zavero.1.gz
    COMMAND sh -c "gzip -9n <\"$0\" >\"$1\"" ${CMAKE_SOURCE_DIR}/docs/zavero.1 ${docs}/zavero.1.gz
    DEPENDS docs/zavero.1 VERBATIM)
  add_custom_command(OUTPUT ${docs}/changelog.gz
    COMMAND sh ${CMAKE_SOURCE_DIR}/packaging/debian/changelog.sh ${CMAKE_SOURCE_DIR}/CHANGELOG.md
      ${PROJECT_VERSION} ${CPACK_PACKAGE_CONTACT} ${docs}/changelog
    COMMAND gzip -9nf ${docs}/changelog
    DEPENDS CHANGELOG.md packaging/debian/changelog.sh VERBATIM)
  add_custom_target(zavero_docs ALL DEPENDS ${docs}/zavero.1.gz ${docs}/changelog.gz)
  # The copyright file holds LICENSE's own notice and text.
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS LICENSE)
  file(READ LICENSE license)
  string(REGEX MATCH "Copyright \\(c\\) ([^\n]*)" _ "${license}")
  set(holder "${CMAKE_MATCH_1}")
  string(REGEX REPLACE "^.*\n\n(Permission)" "\\1" license "${license}")
  string(STRIP "${license}" license)
  # An empty line of the text is " ." in the file, every other line starts with a blank.
  string(REPLACE "\n\n" "\n.\n" license "${license}")
  string(REPLACE "\n" "\n " license "${license}")
  file(WRITE ${docs}/copyright
    "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
    "Upstream-Name: zavero\n"
    "Upstream-Contact: ${CPACK_PACKAGE_CONTACT}\n\n"
    "Files: *\n"
    "Copyright: ${holder}\n"
    "License: Expat\n"
    " ${license}\n")
  install(FILES ${docs}/zavero.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${docs}/copyright ${docs}/changelog.gz DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_NAME zavero)
  set(CPACK_PACKAGE_VENDOR "zavero")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "make hidden files and folders visible again (DOS attributes)")
  set(CPACK_PACKAGE_DESCRIPTION
    "zavero walks a folder tree, or every mounted disk with DOS attributes, and\n\
clears one attribute bit (hidden, by default) from every entry that carries it,\n\
skipping the ones that carry a skip mask (system, by default). It logs every\n\
step and re-reads every attribute it wrote. It reads and writes the attributes\n\
where Linux keeps them: ntfs-3g and ntfs3, the kernel's FAT and exFAT drivers,\n\
Samba's user.DOSATTRIB on a server's disk, and the SMB client's view of a\n\
share.")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ntfs-3g")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGE_FILE_NAME "zavero-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
  include(CPack)
endif()
