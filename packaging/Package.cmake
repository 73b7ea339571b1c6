# Installation layout and the two Debian packages (scripts/package.sh runs
# cpack): kvr-appserver (the server as a systemd service) and kvr-client (the
# client, its kit and the KVR51400 module).
set(kvr_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(kvr_generated ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${kvr_generated})

# Debian wants manual pages and changelogs compressed with gzip -9n.
foreach(file kvr-appserver.1 kvr-client.1 changelog)
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kvr_packaging}/${file})
    execute_process(COMMAND gzip -9nc ${kvr_packaging}/${file}
                    OUTPUT_FILE ${kvr_generated}/${file}.gz COMMAND_ERROR_IS_FATAL ANY)
endforeach()

# What each package carries besides its programs: its manual page, the
# copyright, the changelog and the lintian overrides.
function(kvr_package_documents package component)
    install(FILES ${kvr_generated}/${package}.1.gz DESTINATION share/man/man1
            COMPONENT ${component})
    install(FILES ${kvr_packaging}/copyright DESTINATION share/doc/${package}
            COMPONENT ${component})
    install(FILES ${kvr_generated}/changelog.gz DESTINATION share/doc/${package}
            RENAME changelog.Debian.gz COMPONENT ${component})
    install(FILES ${kvr_packaging}/lintian/${package} DESTINATION share/lintian/overrides
            COMPONENT ${component})
endfunction()

# The server. Paths under /etc and /lib are absolute: they do not follow the prefix.
install(TARGETS kvr-appserver RUNTIME DESTINATION bin COMPONENT server)
install(FILES ${kvr_packaging}/kvr-appserver.conf DESTINATION /etc/kvr COMPONENT server)
install(FILES ${kvr_packaging}/kvr-appserver.service DESTINATION /lib/systemd/system
        COMPONENT server)
install(FILES ${CMAKE_SOURCE_DIR}/data/cfop.csv DESTINATION share/kvr COMPONENT server)
kvr_package_documents(kvr-appserver server)

# The client: the kit is private to it (lib/kvr/kit: a folder of lib/kvr, so
# that CPack adds no ldconfig call, which does not search there), the module
# in lib/kvr/modules, where the client looks without --modules.
set_target_properties(kvr-client PROPERTIES INSTALL_RPATH "\$ORIGIN/../lib/kvr/kit")
set_target_properties(kvr51400 PROPERTIES INSTALL_RPATH "\$ORIGIN/../kit")
install(TARGETS kvr-client RUNTIME DESTINATION bin COMPONENT client)
install(TARGETS kvrkit LIBRARY DESTINATION lib/kvr/kit COMPONENT client)
install(TARGETS kvr51400 LIBRARY DESTINATION lib/kvr/modules COMPONENT client)
install(FILES ${kvr_packaging}/kvr-client.desktop DESTINATION share/applications
        COMPONENT client)
install(FILES ${kvr_packaging}/kvr-client.svg DESTINATION share/icons/hicolor/scalable/apps
        COMPONENT client)
kvr_package_documents(kvr-client client)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kvr)
set(CPACK_PACKAGE_VENDOR "Equipe KVR")
set(CPACK_PACKAGE_CONTACT "Equipe KVR <kvr@kvr.example.com>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL server client)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SOURCE kvr)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Shared libraries found by dpkg-shlibdeps; the kit is found in the build tree.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/lib)

set(CPACK_DEBIAN_SERVER_PACKAGE_NAME kvr-appserver)
set(CPACK_DEBIAN_SERVER_DESCRIPTION
    "servidor de aplicação das Consistências Fiscais
O kvr-appserver guarda as consistências fiscais (regras de CFOP, CST,
código fiscal e sinais por imposto) num banco SQLite ou PostgreSQL e as
atende ao cliente kvr-client em JSON-RPC sobre TCP. Instala o serviço
kvr-appserver.service, que roda como o usuário kvr com os dados em
/var/lib/kvr e a configuração em /etc/kvr/kvr-appserver.conf.")
# Qt loads the database drivers as plug-ins, which shlibdeps cannot see.
set(CPACK_DEBIAN_SERVER_PACKAGE_DEPENDS "adduser, libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_SERVER_PACKAGE_CONTROL_EXTRA
    "${kvr_packaging}/server/postinst;${kvr_packaging}/server/prerm;${kvr_packaging}/server/postrm;${kvr_packaging}/server/conffiles")

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME kvr-client)
set(CPACK_DEBIAN_CLIENT_DESCRIPTION
    "cliente das Consistências Fiscais
O kvr-client é a janela principal que carrega os módulos de tela; com ele
vem o módulo KVR51400, a manutenção das consistências fiscais e o cadastro
automático de consistências, que exporta e importa as regras de um imposto
em planilhas.")
# The platform plug-ins and the Portuguese texts of Qt's own dialogs.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")

include(CPack)
