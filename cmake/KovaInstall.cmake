# Where `make install` and the Debian package put the program and its files.
install(TARGETS kova RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/assets/ DESTINATION share/kova OPTIONAL)
