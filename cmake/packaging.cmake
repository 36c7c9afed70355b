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
endif()

# The most bytes zavero.exe may take, here and nowhere else: the README promises a small exe,
# and the release tests (release.size) fail once the exe grows past this.
set(ZAVERO_EXE_BUDGET 262144)

if(WIN32)
  install(TARGETS zavero RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  install(FILES docs/images/question_box.png DESTINATION docs/images)
  # SHA256SUMS beside them, in sha256sum's format (sha256sum -c SHA256SUMS checks them all).
  install(CODE [[
    set(dir "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}")
    set(sums "")
    foreach(file zavero.exe README.md docs/images/question_box.png)
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
  install(TARGETS zavero RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_PACKAGE_NAME zavero)
  set(CPACK_PACKAGE_VENDOR "zavero")
  set(CPACK_PACKAGE_CONTACT "zavero maintainers <zavero@users.noreply.github.com>")
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "makes hidden files and folders visible again (DOS attributes on NTFS, FAT and Samba shares)")
  set(CPACK_PACKAGE_DESCRIPTION
    "zavero walks a folder tree, or every mounted disk with DOS attributes, and clears one\n\
attribute bit (hidden, by default) from every entry that carries it, skipping the ones that\n\
carry a skip mask (system, by default). It logs every step and re-reads every attribute it\n\
wrote. It reads and writes the attributes where Linux keeps them: ntfs-3g and ntfs3,\n\
the kernel's FAT and exFAT drivers, Samba's user.DOSATTRIB on a server's disk, and the\n\
SMB client's view of a share.")
  set(CPACK_STRIP_FILES ON)
  set(CPACK_DEBIAN_PACKAGE_SECTION utils)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_SUGGESTS "ntfs-3g")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_PACKAGE_FILE_NAME "zavero-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
  include(CPack)
endif()
