# The data layer needs the system SQLite (its dialect routines are registered through the
# connection's handle) and a Firebird configuration folder of the project's own, made in the
# build tree beside the binaries: the system's configuration runs the embedded engine in
# exclusive mode, and the host and the application server must share one database file.
find_package(SQLite3 REQUIRED)
target_link_libraries(velmora_framework PRIVATE SQLite::SQLite3)
# A running PostgreSQL statement is stopped through the client library's cancel request.
find_package(PostgreSQL REQUIRED)
target_link_libraries(velmora_framework PRIVATE PostgreSQL::PostgreSQL)

find_path(VELMORA_FIREBIRD_HOME plugins/libEngine12.so
    PATHS /usr/lib/x86_64-linux-gnu/firebird/3.0 /usr/lib/firebird/3.0 /opt/firebird
    NO_DEFAULT_PATH)
if(VELMORA_FIREBIRD_HOME)
    set(VELMORA_FIREBIRD_ROOT ${CMAKE_BINARY_DIR}/firebird)
    file(MAKE_DIRECTORY ${VELMORA_FIREBIRD_ROOT})
    configure_file(${PROJECT_SOURCE_DIR}/database/firebird/firebird.conf
        ${VELMORA_FIREBIRD_ROOT}/firebird.conf COPYONLY)
    foreach(entry plugins intl UDF firebird.msg plugins.conf)
        if(EXISTS ${VELMORA_FIREBIRD_HOME}/${entry} AND NOT EXISTS ${VELMORA_FIREBIRD_ROOT}/${entry})
            file(CREATE_LINK ${VELMORA_FIREBIRD_HOME}/${entry} ${VELMORA_FIREBIRD_ROOT}/${entry}
                SYMBOLIC)
        endif()
    endforeach()
    target_compile_definitions(velmora_framework PRIVATE
        VELMORA_FIREBIRD_ROOT="${VELMORA_FIREBIRD_ROOT}")
else()
    message(STATUS "Firebird 3 not found: embedded Firebird databases need FIREBIRD set")
endif()
