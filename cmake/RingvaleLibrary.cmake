# ringvale_library(NAME folder SOURCES ... LINKS ...): one static library per source folder.
# The layers below calls/ and ui/ must not name Qt6::Widgets in LINKS; the check keeps the
# layering honest at configure time.
function(ringvale_library name)
    cmake_parse_arguments(ARG "WIDGETS" "" "SOURCES;LINKS" ${ARGN})
    if(NOT ARG_WIDGETS AND "Qt6::Widgets" IN_LIST ARG_LINKS)
        message(FATAL_ERROR "${name}: only calls/ and ui/ may link Qt Widgets")
    endif()
    add_library(${name} STATIC ${ARG_SOURCES})
    target_include_directories(${name} PUBLIC ${CMAKE_SOURCE_DIR}/src)
    target_link_libraries(${name} PUBLIC ${ARG_LINKS})
    # The Qt headers every file reads are parsed once per library, not once per file.
    set(core_headers <QByteArray> <QList> <QObject> <QString> <QStringList> <QTimer> <memory>
        <functional>)
    if(ARG_WIDGETS)
        target_precompile_headers(${name} PRIVATE ${core_headers} <QDialog> <QWidget>
                                  <QTreeWidget> <QPushButton> <QLabel> <QLineEdit>)
    else()
        target_precompile_headers(${name} PRIVATE ${core_headers})
    endif()
endfunction()
