# The Debian package of the program (cpack -G DEB, see scripts/package): what `cmake --install`
# places, plus the package's own documents, named velkora_<version>_<arch>.deb. The version is the
# project's; the run-time dependencies are computed from the binaries by dpkg-shlibdeps.

# The manual pages and the changelog are installed compressed, without a time stamp, as Debian wants
# them, and the licence as /usr/share/doc/velkora/copyright: the same for `cmake --install`.
set(VELKORA_DEB_DOC ${CMAKE_INSTALL_DATADIR}/doc/velkora)
set(VELKORA_DEB_STAGE ${PROJECT_BINARY_DIR}/install-files)
file(MAKE_DIRECTORY ${VELKORA_DEB_STAGE})
configure_file(${PROJECT_SOURCE_DIR}/resources/install/changelog.in ${VELKORA_DEB_STAGE}/changelog @ONLY)
foreach(page velkora velkora-book velkora-dev)
  execute_process(COMMAND gzip -9nc ${PROJECT_SOURCE_DIR}/resources/install/${page}.1
                  OUTPUT_FILE ${VELKORA_DEB_STAGE}/${page}.1.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()
execute_process(COMMAND gzip -9nc ${VELKORA_DEB_STAGE}/changelog
                OUTPUT_FILE ${VELKORA_DEB_STAGE}/changelog.gz COMMAND_ERROR_IS_FATAL ANY)
install(FILES ${VELKORA_DEB_STAGE}/velkora.1.gz ${VELKORA_DEB_STAGE}/velkora-book.1.gz ${VELKORA_DEB_STAGE}/velkora-dev.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES resources/install/copyright ${VELKORA_DEB_STAGE}/changelog.gz
        DESTINATION ${VELKORA_DEB_DOC})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME velkora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Velkora <gelistirici@velkora.org>")
set(CPACK_PACKAGE_VENDOR "Velkora")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.velkora.org/")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write, read and print an electronic book of topics and subtopics")
# The long description, in English and in Turkish (cpack indents its lines; an empty line parts them).
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Velkora keeps one book in one encrypted file: a list of topics, each holding
subtopics, each subtopic a title and a formatted body with fonts, colours,
paragraphs, bullets, pictures and embedded objects. It has a Turkish user
interface, a rich-text editor, title search, find and replace, and printing
through a print preview that saves report files and PDFs.

Türkçe: Velkora, konulardan ve alt konulardan oluşan bir elektronik kitabı
yazmak, okumak ve yazdırmak içindir. Kitap şifreli tek bir dosyada durur; her
alt konunun başlığı ve yazı tipleri, renkleri, paragrafları, madde imleri,
resimleri ve nesneleri olan biçimli bir metni vardır.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Pages measure as on Windows with the metric-compatible fonts; Qt's own texts in Turkish; the
# Turkish dictionary for spell checking and a printing system are welcome but not needed.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation2, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n, hunspell-tr, cups-client")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/package)
include(CPack)
