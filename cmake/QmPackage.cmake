# `make package`: a Debian package with exactly what `cmake --install`
# installs. The libraries come from dpkg-shlibdeps; what the programs load
# at run time without linking it is named here.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmora)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillmora Editor <quillmora@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Formeleditor: Formeln zusammensetzen und als Bild speichern")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmora Editor setzt eine Formel aus Termen und sieben Arten von Funktionen zusammen\n(Bruch, Wurzel, Summe, Potenz, Betrag, Integral, benannte Funktion), speichert sie als\n.qmt-Dokument und als Bild (PNG, JPEG, BMP, SVG, PDF). quillmora-cli liest, schreibt\nund malt die Dokumente ohne Bildschirm.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION math)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
# The X11/Wayland platform plugins and the fonts that hold the operators.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-dejavu-core")
# The German texts of Qt's own dialogs.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-translations-l10n")
# Staged through DESTDIR, so the install step leaves the system's caches alone.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
