# Where `cmake --install` puts each file, relative to the prefix. Hosts look for plug-ins
# in lib/vst and lib/lv2 of their prefix (not in the multiarch library folders), so these
# two are fixed; everything else follows GNUInstallDirs.
include(GNUInstallDirs)
set(KORVALEX_INSTALL_VSTDIR lib/vst)
set(KORVALEX_INSTALL_LV2DIR lib/lv2)
# korvalex-render looks for the installed plug-in relative to itself, so a staged or
# relocated tree works as well as the prefix it was configured for.
file(RELATIVE_PATH KORVALEX_PLUGIN_FROM_BINDIR "${CMAKE_INSTALL_FULL_BINDIR}"
     "${CMAKE_INSTALL_PREFIX}/${KORVALEX_INSTALL_VSTDIR}/korvalex.so")
