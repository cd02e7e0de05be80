# kelvane_add_program(NAME [WIN32] SOURCES...): a front end of the receiving
# station, built alike on every platform. It stands on the station and the
# message decoder, is built together with the Brinecore library it loads at
# run time, and is installed into bin/ (on Windows beside Brinecore.dll).
# WIN32 makes a Windows program with a window and no console; elsewhere it
# changes nothing.
include(GNUInstallDirs)

function(kelvane_add_program name)
    add_executable(${name} ${ARGN})
    target_link_libraries(${name} PRIVATE kelvane_station kelvane_ais kelvane_build_flags)
    add_dependencies(${name} Brinecore)
    install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
