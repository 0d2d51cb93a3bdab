include(${CMAKE_CURRENT_LIST_DIR}/../../CrossHeaderPackage.cmake)
nj_cross_header_package(CLI11::CLI11 CLI)
