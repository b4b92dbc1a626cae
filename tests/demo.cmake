# The bundled operator service and FTP server, tested over loopback with Debian's Python
# (python3-pyftpdlib). Each test picks free ports on its own loopback address.
set(OPERATOR_TOOL_DIR ${PROJECT_SOURCE_DIR}/demo/operator)

add_test(NAME OperatorService
  COMMAND /usr/bin/python3 -m unittest -v test_operator_service
  WORKING_DIRECTORY ${OPERATOR_TOOL_DIR})
add_test(NAME OperatorFtpServer
  COMMAND /usr/bin/python3 -m unittest -v test_ftp_server
  WORKING_DIRECTORY ${OPERATOR_TOOL_DIR})
set_tests_properties(OperatorService OperatorFtpServer PROPERTIES
  ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1"
  TIMEOUT 300)
set_tests_properties(OperatorService OperatorFtpServer PROPERTIES LABELS net)

# The operator guide's worked example: rebrand res.dat, publish a game on a loopback FTP
# server, update it headless and check the result (docs/operator-example.sh).
add_test(NAME OperatorGuideExample
  COMMAND /bin/bash ${PROJECT_SOURCE_DIR}/docs/operator-example.sh ${CMAKE_BINARY_DIR})
set_tests_properties(OperatorGuideExample PROPERTIES
  ENVIRONMENT "PYTHONDONTWRITEBYTECODE=1"
  TIMEOUT 300)
set_tests_properties(OperatorGuideExample PROPERTIES LABELS e2e)
