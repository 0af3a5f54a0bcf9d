// JSON values: filled in by the JSON library work.
