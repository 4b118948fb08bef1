# Installs the build into DEST and checks that the installed tree holds every file the program
# opens, and that the installed command line finds them from its own place.
file(REMOVE_RECURSE ${DEST})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${DEST}/usr
    OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "install failed")
endif()
foreach(file
        bin/tovrin3 bin/tovrin3-cli
        share/tovrin3/contab.gen share/tovrin3/pdc.gen
        share/tovrin3/modelli/bilancio3settore.xltx
        share/applications/it.velmora.Tovrin3.desktop
        share/metainfo/it.velmora.Tovrin3.metainfo.xml
        share/icons/hicolor/scalable/apps/tovrin3.svg
        share/icons/hicolor/48x48/apps/tovrin3.png
        share/icons/hicolor/256x256/apps/tovrin3.png
        share/man/man1/tovrin3-cli.1.gz share/man/man1/tovrin3.1.gz
        share/doc/tovrin3/copyright share/doc/tovrin3/changelog.gz)
    if(NOT EXISTS ${DEST}/usr/${file})
        message(FATAL_ERROR "missing from the installed tree: ${file}")
    endif()
endforeach()
file(MAKE_DIRECTORY ${DEST}/work)
execute_process(COMMAND ${DEST}/usr/bin/tovrin3-cli new --parent ${DEST}/work --name "Amici del Parco"
        --chart 0 --start-month 1
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
if(NOT status EQUAL 0 OR NOT EXISTS ${DEST}/work/tv3_amicidelparco/modelli/bilancio3settore.xltx)
    message(FATAL_ERROR "the installed tovrin3-cli did not create an archive: ${err}")
endif()
