# Placeholder until the command-line tests land.
